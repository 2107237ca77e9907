#include "SelectView.h"

#include "RoundBadge.h"
#include "UI.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr qreal badgeDiameter = 20;
}

SelectView::SelectView(const QStringList& items, const QString& selected, std::function<void(const QString&)> onChange)
    : m_titleLabel(new QLabel(selected))
    , m_selected(selected)
    , m_items(items)
    , m_onChange(std::move(onChange))
{
    m_titleLabel->setFont(UI::font(13));

    auto* badge = new RoundBadge(QStringLiteral("chevron.up.chevron.down"), badgeDiameter);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(m_titleLabel);
    layout->addWidget(badge);

    // The control itself takes every click, never its label or badge; Tab reaches it,
    // and Space, Return or Down open it.
    m_titleLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    badge->setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QString SelectView::title() const
{
    return m_titleLabel->text();
}

void SelectView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Down:
        popUp();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void SelectView::paintEvent(QPaintEvent*)
{
    // A focus ring once the keyboard moved the focus, as the style's own controls do.
    if (!hasFocus() || !window()->testAttribute(Qt::WA_KeyboardFocusChange))
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
}

void SelectView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    popUp();
}

void SelectView::popUp()
{
    delete m_menu;
    m_menu = new QMenu(this);
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* positioning = nullptr;
    for (int i = 0; i < m_items.size(); ++i) {
        QAction* action = m_menu->addAction(m_items.at(i));
        // Only the current choice is marked; the others show no empty box.
        const bool current = m_items.at(i) == m_selected;
        action->setCheckable(current);
        action->setChecked(current);
        if (action->isChecked() && !positioning)
            positioning = action;
        connect(action, &QAction::triggered, this, [this, i] { picked(i); });
    }
    // The current choice opens right over the control, as a native pop-up does.
    const QPoint anchor(-8, height() / 2 - 10);
    m_menu->popup(mapToGlobal(anchor), positioning);
}

void SelectView::picked(int index)
{
    m_selected = m_items.at(index);
    m_titleLabel->setText(m_selected);
    if (m_onChange)
        m_onChange(m_selected);
}
