#include "PageViewController.h"

#include <QShowEvent>
#include <QVBoxLayout>

PageViewController::PageViewController(Builder builder)
    : m_builder(std::move(builder))
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
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
    if (m_content) {
        m_content->hide();
        layout()->removeWidget(m_content);
        m_content->deleteLater();
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
    layout()->addWidget(m_content);

    m_content->adjustSize();
    m_preferredContentSize = m_content->sizeHint();
    setFixedHeight(m_preferredContentSize.height());
    setFixedWidth(pageWidth);

    QWidget* host = window();
    if (resizeWindow && host != this) {
        if (host->layout())
            host->layout()->activate();
        host->setFixedSize(host->sizeHint());
    }
}
