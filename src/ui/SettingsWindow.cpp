#include "SettingsWindow.h"

#include "PageViewController.h"
#include "Symbols.h"
#include "UI.h"

#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// A flat tool button shows no focus in most styles; a tab's button is a Tab stop
// all the same, so it draws a ring in the highlight colour.
class TabButton : public QToolButton {
protected:
    void paintEvent(QPaintEvent* event) override
    {
        QToolButton::paintEvent(event);
        if (!hasFocus())
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 5, 5);
    }
};

} // namespace

SettingsWindow::SettingsWindow()
    : m_toolbar(new QWidget)
{
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setWindowTitle(QStringLiteral("Corvalink"));
    // Fields and buttons as large as the row text beside them.
    setFont(UI::font(13));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The window follows its page only when a page asks for it.
    layout->setSizeConstraint(QLayout::SetNoConstraint);

    auto* toolbarLayout = new QHBoxLayout(m_toolbar);
    toolbarLayout->setContentsMargins(8, 6, 8, 4);
    toolbarLayout->setSpacing(2);
    toolbarLayout->addStretch(1);
    toolbarLayout->addStretch(1);
    layout->addWidget(m_toolbar);

    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    // Escape closes too, through keyPressEvent, so that a form's own Escape comes first.
    new QShortcut(QKeySequence::Close, this, this, &QWidget::close);
    const auto step = [this](int by) { selectTab((m_current + by + int(m_pages.size())) % int(m_pages.size())); };
    for (const QKeySequence& next : {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)})
        new QShortcut(next, this, this, [step] { step(1); });
    // Shift+Tab arrives as Backtab from X11's keymap and as Tab with Shift from others.
    for (const QKeySequence& previous :
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
          QKeySequence(Qt::CTRL | Qt::Key_PageUp)})
        new QShortcut(previous, this, this, [step] { step(-1); });
}

void SettingsWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SettingsWindow::addTab(const QString& title, const QString& symbol, PageViewController* page)
{
    const int index = int(m_pages.size());
    auto* button = new TabButton;
    button->setText(title);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setCheckable(true);
    button->setIconSize(QSize(22, 22));
    button->setMinimumWidth(72);
    button->setFont(UI::font(11));
    button->setAccessibleName(title);
    connect(button, &QToolButton::clicked, this, [this, index] { selectTab(index); });

    auto* toolbarLayout = static_cast<QHBoxLayout*>(m_toolbar->layout());
    toolbarLayout->insertWidget(toolbarLayout->count() - 1, button);
    m_buttons.append(button);
    m_symbols.append(symbol);
    m_pages.append(page);
    page->setParent(this);
    page->hide();
    layout()->addWidget(page);
    refreshSymbols();
    if (m_current < 0)
        selectTab(0);
}

void SettingsWindow::selectTab(int index)
{
    if (index < 0 || index >= m_pages.size())
        return;
    for (int i = 0; i < m_pages.size(); ++i) {
        m_buttons[i]->setChecked(i == index);
        if (i != index)
            m_pages[i]->hide();
    }
    m_current = index;
    // Showing a page rebuilds it; the window then fits around it, as a tabbed
    // preferences window does on every switch.
    m_pages[index]->show();
    fitToPage();
}

void SettingsWindow::fitToPage()
{
    layout()->activate();
    setFixedSize(sizeHint());
}

void SettingsWindow::showEvent(QShowEvent* event)
{
    // The pages have just been built for this showing.
    QWidget::showEvent(event);
    fitToPage();
    if (!m_placed) {
        m_placed = true;
        if (QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
}

void SettingsWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_placed && isVisible())
        keepOnScreen();
}

// A window that grew downwards moves up until its frame fits the screen's
// free area; the page caps its height so that it can.
void SettingsWindow::keepOnScreen()
{
    const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!shown)
        return;
    const QRect available = shown->availableGeometry();
    const QRect frame = frameGeometry();
    QPoint topLeft = frame.topLeft();
    topLeft.setY(std::max(available.top(), std::min(frame.top(), available.bottom() - frame.height() + 1)));
    topLeft.setX(std::max(available.left(), std::min(frame.left(), available.right() - frame.width() + 1)));
    if (topLeft != frame.topLeft())
        move(topLeft);
}

void SettingsWindow::refreshSymbols()
{
    const QColor tint = palette().color(QPalette::WindowText);
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setIcon(Symbols::icon(m_symbols.at(i), 22, tint));
}

void SettingsWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        refreshSymbols();
    QWidget::changeEvent(event);
}
