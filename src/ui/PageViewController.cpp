#include "PageViewController.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

// The window's title bar and tab row above a page, at least.
constexpr int leastChrome = 120;

int tallestPage(const QWidget* page)
{
    const QScreen* screen = page->screen() ? page->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return QWIDGETSIZE_MAX;
    // A window manager's title bar may be taller than most.
    const QWidget* host = page->window();
    const int decoration = host->frameGeometry().height() - host->height();
    return screen->availableGeometry().height() - std::max(leastChrome, decoration + page->y());
}

} // namespace

PageViewController::PageViewController(Builder builder)
    : m_builder(std::move(builder))
    , m_scroll(new QScrollArea)
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    // A page taller than the screen scrolls; otherwise the scroll area is invisible.
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidgetResizable(false);
    m_scroll->setBackgroundRole(QPalette::Window);
    // It would be a Tab stop that shows nothing; it scrolls to the focused control instead.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    root->addWidget(m_scroll);
}

void PageViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        rebuild(false);
}

void PageViewController::rebuild(bool resizeWindow)
{
    // Build first: the builder may move views it keeps alive (a form's fields)
    // out of the old content. The old content may be inside a signal of one of
    // its buttons, so it goes once control returns to the event loop.
    const QList<QWidget*> views = m_builder();
    if (QWidget* old = m_scroll->takeWidget()) {
        old->hide();
        old->deleteLater();
    }
    m_content = new QWidget;
    auto* column = new QVBoxLayout(m_content);
    column->setSpacing(22);
    column->setContentsMargins(24, 20, 24, 24);
    for (QWidget* view : views) {
        view->setFixedWidth(columnWidth);
        column->addWidget(view);
    }
    m_content->setFixedWidth(pageWidth);
    m_content->adjustSize();
    m_preferredContentSize = m_content->sizeHint();
    m_content->resize(m_preferredContentSize);
    m_scroll->setWidget(m_content);

    const int height = std::min(m_preferredContentSize.height(), tallestPage(this));
    const bool scrolls = height < m_preferredContentSize.height();
    m_scroll->setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setFixedHeight(height);
    setFixedWidth(pageWidth + (scrolls ? m_scroll->verticalScrollBar()->sizeHint().width() : 0));

    QWidget* host = window();
    if (resizeWindow && host != this) {
        if (host->layout())
            host->layout()->activate();
        host->setFixedSize(host->sizeHint());
    }
}
