#include "AddAccountForm.h"

#include "AccountColor.h"
#include "BrowserLauncher.h"
#include "Feedback.h"
#include "SelectView.h"
#include "SitePreset.h"
#include "UI.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

const QString defaultBrowserChoice = QStringLiteral("Default");
const QString noColorChoice = QStringLiteral("None");

bool isTrimmable(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

} // namespace

AddAccountForm::AddAccountForm(std::function<void(const Account&)> onSave, std::function<void()> onCancel)
    : m_labelField(UI::field(QString(), QStringLiteral("e.g. work, perso"), 260))
    , m_siteField(UI::field(QStringLiteral("Claude"), QStringLiteral("Site name"), 260))
    , m_urlField(UI::field(SitePreset::all().first().loginUrl, QStringLiteral("https://\u2026"), 260))
    , m_onSave(std::move(onSave))
    , m_onCancel(std::move(onCancel))
{
    QStringList presetNames;
    for (const SitePreset& preset : SitePreset::all())
        presetNames.append(preset.name);
    QPointer<AddAccountForm> self(this);
    m_sitePicker = new SelectView(presetNames, presetNames.first(), [self](const QString& name) {
        if (self)
            self->applyPreset(name);
    });
    m_browserPicker = new SelectView(QStringList{defaultBrowserChoice} + BrowserLauncher::installedBrowsers(),
                                     defaultBrowserChoice, {});
    m_colorPicker = new SelectView(AccountColor::names(), noColorChoice, {});
}

AddAccountForm::~AddAccountForm()
{
    // Controls still placed in a page go with the page.
    for (QWidget* control : QList<QWidget*>{m_sitePicker, m_browserPicker, m_colorPicker} +
                                QList<QWidget*>(m_checkedFields.cbegin(), m_checkedFields.cend())) {
        if (control && !control->parent())
            delete control;
    }
}

QList<QWidget*> AddAccountForm::sections()
{
    const QList<QWidget*> rows{
        UI::row(QStringLiteral("Site"), std::nullopt, {}, {m_sitePicker}),
        UI::row(QStringLiteral("Site name"), std::nullopt, {}, {checked(m_siteField)}),
        UI::row(QStringLiteral("Login URL"), std::nullopt, {}, {checked(m_urlField)}),
        UI::row(QStringLiteral("Account label"), std::nullopt, {}, {checked(m_labelField)}),
        UI::row(QStringLiteral("Browser"), std::nullopt, {}, {m_browserPicker}),
        UI::row(QStringLiteral("Color"), std::nullopt, {}, {m_colorPicker}),
    };
    QWidget* section = UI::section(QStringLiteral("New account"), rows,
                                   QStringLiteral("A browser window opens so you can log in once. Corvalink never "
                                                  "sees your password; the session is kept in this account's own "
                                                  "profile."));

    auto* buttons = new QWidget;
    auto* layout = new QHBoxLayout(buttons);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(new QWidget, 1);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(cancel, &QPushButton::clicked, this, &AddAccountForm::cancelTapped);
    // "&&" shows one ampersand.
    auto* save = new QPushButton(QStringLiteral("Add && Log in"));
    save->setShortcut(QKeySequence(Qt::Key_Return));
    connect(save, &QPushButton::clicked, this, &AddAccountForm::saveTapped);
    // The keypad's Enter saves as Return does.
    new QShortcut(QKeySequence(Qt::Key_Enter), save, [save] { save->click(); });
    layout->addWidget(cancel);
    layout->addWidget(save);
    return {section, buttons};
}

QString AddAccountForm::trimmed(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isTrimmable(text.at(begin)))
        ++begin;
    while (end > begin && isTrimmable(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QWidget* AddAccountForm::checked(QLineEdit* field)
{
    QWidget* box = field->parentWidget();
    if (box && box->objectName() == QLatin1String("checked"))
        return box;
    box = new QWidget;
    box->setObjectName(QStringLiteral("checked"));
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(field);
    auto* problem = new QLabel;
    problem->setObjectName(QStringLiteral("problem"));
    problem->setFixedWidth(field->width());
    problem->setFont(UI::font(11));
    problem->setTextFormat(Qt::PlainText);
    problem->hide();
    UI::followPalette(problem, [](QWidget* target) {
        QPalette palette = QApplication::palette();
        palette.setColor(QPalette::WindowText, UI::problemColor(palette));
        target->setPalette(palette);
    });
    layout->addWidget(problem);
    // Typing again hides what was said about the text before.
    connect(field, &QLineEdit::textEdited, this, [this, field, problem] {
        if (problem->isHidden())
            return;
        problem->hide();
        Q_EMIT layoutChanged();
        field->setFocus(Qt::OtherFocusReason);
    });
    m_checkedFields.append(box);
    return box;
}

bool AddAccountForm::showProblems(const QList<std::pair<QLineEdit*, QString>>& problems)
{
    QLineEdit* first = nullptr;
    bool changed = false;
    for (const auto& [field, text] : problems) {
        auto* problem = checked(field)->findChild<QLabel*>(QStringLiteral("problem"));
        changed = changed || problem->text() != text || problem->isHidden() != text.isEmpty();
        problem->setText(text);
        problem->setVisible(!text.isEmpty());
        field->setAccessibleDescription(text);
        if (!first && !text.isEmpty())
            first = field;
    }
    if (changed)
        Q_EMIT layoutChanged();
    if (!first)
        return true;
    first->setFocus(Qt::OtherFocusReason);
    Feedback::beep();
    return false;
}

QString AddAccountForm::problemText(const QLineEdit* field)
{
    const auto* box = field->parentWidget();
    const auto* problem = box ? box->findChild<QLabel*>(QStringLiteral("problem")) : nullptr;
    return problem && !problem->isHidden() ? problem->text() : QString();
}

void AddAccountForm::applyPreset(const QString& name)
{
    for (const SitePreset& preset : SitePreset::all()) {
        if (preset.name != name)
            continue;
        m_siteField->setText(name == QLatin1String("Custom") ? QString() : name);
        m_urlField->setText(preset.loginUrl);
        return;
    }
}

void AddAccountForm::saveTapped()
{
    const QString siteName = trimmed(m_siteField->text());
    const QString label = trimmed(m_labelField->text());
    QString url = trimmed(m_urlField->text());
    if (!url.contains(QStringLiteral("://")))
        url.prepend(QStringLiteral("https://"));
    const bool urlValid = BrowserLauncher::isWebAddress(url);
    if (!showProblems(
            {{m_siteField, siteName.isEmpty() ? QStringLiteral("Enter the site's name.") : QString()},
             {m_urlField, urlValid ? QString() : QStringLiteral("Use an http or https address with a host.")},
             {m_labelField, label.isEmpty() ? QStringLiteral("Enter a label, such as work or perso.") : QString()}}))
        return;

    Account account;
    account.siteName = siteName;
    account.url = url;
    account.label = label;
    if (m_browserPicker->selected() != defaultBrowserChoice)
        account.browser = m_browserPicker->selected();
    if (m_colorPicker->selected() != noColorChoice)
        account.color = m_colorPicker->selected();
    if (m_onSave)
        m_onSave(account);
}

void AddAccountForm::cancelTapped()
{
    if (m_onCancel)
        m_onCancel();
}
