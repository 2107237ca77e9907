#include "AccountSwitcher.h"

#include "AccountColor.h"

#include <QCheckBox>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int accountRole = Qt::UserRole;
// The entry that opens a link in a browser without an account.
constexpr int plainRole = Qt::UserRole + 1;
constexpr int switcherWidth = 360;
constexpr int switcherHeight = 420;

constexpr int dotSize = 10;
constexpr qsizetype longLabel = 40;
constexpr int focusLossMs = 250;

} // namespace

AccountSwitcher::AccountSwitcher(QList<Group> groups, Opener open)
    : QWidget(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint)
    , m_groups(std::move(groups))
    , m_open(std::move(open))
    , m_search(new QLineEdit(this))
    , m_list(new QListWidget(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Corvalink"));
    m_search->setPlaceholderText(QStringLiteral("Search accounts"));
    m_search->setClearButtonEnabled(true);
    m_search->installEventFilter(this);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setUniformItemSizes(true);
    connect(m_search, &QLineEdit::textChanged, this, &AccountSwitcher::setFilter);
    connect(m_list, &QListWidget::itemClicked, this, &AccountSwitcher::openItem);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(8);
    layout->addWidget(m_search);
    layout->addWidget(m_list);
    // A fixed size also makes tiling compositors (sway) float it like a dialog.
    setFixedSize(switcherWidth, switcherHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    fill();
    m_search->setFocus();
}

QString AccountSwitcher::folded(const QString& text)
{
    QString result;
    for (const QChar c : text.normalized(QString::NormalizationForm_D)) {
        if (c.category() != QChar::Mark_NonSpacing)
            result += c;
    }
    return result.toCaseFolded();
}

void AccountSwitcher::setFilter(const QString& text)
{
    if (m_search->text() != text)
        m_search->setText(text);
    fill();
}

void AccountSwitcher::fill()
{
    const QString wanted = folded(m_search->text().trimmed());
    m_list->clear();
    for (const Group& group : std::as_const(m_groups)) {
        const bool siteMatches = folded(group.siteName).contains(wanted);
        QListWidgetItem* header = nullptr;
        for (const Account& account : group.accounts) {
            if (!siteMatches && !folded(account.label).contains(wanted))
                continue;
            if (!header) {
                // A section title: readable, but not a choice.
                header = new QListWidgetItem(group.siteName, m_list);
                header->setFlags(Qt::ItemIsEnabled);
                QFont bold = header->font();
                bold.setBold(true);
                header->setFont(bold);
            }
            auto* item = new QListWidgetItem(AccountColor::dotOrSpace(account.color, dotSize), account.label, m_list);
            item->setData(accountRole, QVariant::fromValue(account.id));
            // The list shortens what does not fit; the tooltip has it whole.
            if (account.label.size() > longLabel)
                item->setToolTip(account.label);
        }
    }
    if (!m_plainBrowser.isEmpty()) {
        auto* plain = new QListWidgetItem(QStringLiteral("Open in %1 without an account").arg(m_plainBrowser), m_list);
        plain->setData(plainRole, true);
    }
    moveSelection(0);
}

QList<Account> AccountSwitcher::shownAccounts() const
{
    QList<Account> shown;
    for (int row = 0; row < m_list->count(); ++row) {
        if (const auto account = accountOf(m_list->item(row)))
            shown.append(*account);
    }
    return shown;
}

// Moves to the next account row in the direction of step; 0 selects the
// current one, or the first when there is none.
void AccountSwitcher::moveSelection(int step)
{
    int row = m_list->currentRow();
    if (row < 0 || step == 0) {
        row = row < 0 ? -1 : row - 1;
        step = 1;
    }
    for (int next = row + step; next >= 0 && next < m_list->count(); next += step) {
        if (m_list->item(next)->flags() & Qt::ItemIsSelectable) {
            m_list->setCurrentRow(next);
            return;
        }
    }
}

void AccountSwitcher::openItem(QListWidgetItem* item)
{
    if (!item || !(item->flags() & Qt::ItemIsSelectable))
        return;
    const auto account = accountOf(item);
    if (m_choose && (account || item->data(plainRole).toBool())) {
        // Taken before closing, so that closing does not count as dropping the link.
        const LinkChoice choose = std::exchange(m_choose, {});
        m_dropped = {};
        const bool always = account && m_always->isChecked();
        close();
        choose(account, always);
    } else if (account) {
        close();
        m_open(*account);
    }
}

void AccountSwitcher::chooseFor(const QUrl& link, const QString& plainBrowser, LinkChoice choose,
                                std::function<void()> dropped)
{
    if (const auto previous = std::exchange(m_dropped, std::move(dropped)))
        previous();
    m_choose = std::move(choose);
    m_plainBrowser = plainBrowser;
    if (!m_link) {
        m_link = new QLabel(this);
        m_link->setTextFormat(Qt::RichText);
        m_always = new QCheckBox(this);
        // Alt+A ticks it; the search field keeps the keyboard for typing and Return.
        m_always->setFocusPolicy(Qt::NoFocus);
        auto* column = static_cast<QVBoxLayout*>(layout());
        column->insertWidget(0, m_link);
        column->addWidget(m_always);
    }
    // The host in bold, the rest of the link shortened to the room left; all of it as text, never markup.
    const QString host = link.host();
    const QString rest = link.toDisplayString(QUrl::RemoveScheme | QUrl::RemoveAuthority);
    const QFontMetrics metrics(m_link->font());
    const int room = switcherWidth - 30 - metrics.horizontalAdvance(host) * 6 / 5;
    m_link->setText(QStringLiteral("<b>%1</b>%2")
                        .arg(host.toHtmlEscaped(), metrics.elidedText(rest, Qt::ElideMiddle, room).toHtmlEscaped()));
    m_link->setToolTip(link.toDisplayString());
    m_always->setText(QStringLiteral("&Always open %1 in this account").arg(host));
    m_always->setChecked(false);
    fill();
    m_search->setFocus();
}

void AccountSwitcher::closeEvent(QCloseEvent* event)
{
    if (const auto dropped = std::exchange(m_dropped, {}))
        dropped();
    m_choose = {};
    QWidget::closeEvent(event);
}

std::optional<Account> AccountSwitcher::accountOf(const QListWidgetItem* item) const
{
    const QUuid id = item->data(accountRole).value<QUuid>();
    for (const Group& group : m_groups) {
        if (const auto account = Account::find(group.accounts, id); account && !id.isNull())
            return account;
    }
    return std::nullopt;
}

bool AccountSwitcher::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_search && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Down:
            moveSelection(1);
            return true;
        case Qt::Key_Up:
            moveSelection(-1);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            openItem(m_list->currentItem());
            return true;
        case Qt::Key_Escape:
            close();
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void AccountSwitcher::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    // Closes when the user turns to another window, as a menu would. A
    // compositor may take the focus away for a moment (a new keyboard, a keymap
    // change): only a loss that lasts counts.
    if (isActiveWindow()) {
        m_wasActive = true;
    } else if (m_wasActive) {
        QTimer::singleShot(focusLossMs, this, [this] {
            if (!isActiveWindow())
                close();
        });
    }
}
