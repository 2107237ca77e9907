#pragma once

#include "SelectView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QWidget>

// Finds widgets the way a person does: by what they say.
namespace WidgetFinder {

// The first child of that type whose text, as a person reads it, is the text.
template <typename T> T* withText(QObject* root, const QString& text)
{
    for (T* child : root->findChildren<T*>()) {
        if (QString(child->text()).replace(QStringLiteral("&&"), QStringLiteral("&")) == text)
            return child;
    }
    return nullptr;
}

inline QLabel* label(QObject* root, const QString& text)
{
    return withText<QLabel>(root, text);
}

inline QAbstractButton* button(QObject* root, const QString& text)
{
    return withText<QAbstractButton>(root, text);
}

// The row whose title is the text.
inline QWidget* row(QWidget* root, const QString& title)
{
    QWidget* widget = label(root, title);
    while (widget && widget->objectName() != QLatin1String("row"))
        widget = widget->parentWidget();
    return widget;
}

template <typename T> T* in(QWidget* root)
{
    return root ? root->findChild<T*>() : nullptr;
}

// Opens a select and picks the entry, as a person does.
inline void choose(SelectView* select, const QString& entry)
{
    select->popUp();
    select->menu()->actions().at(select->items().indexOf(entry))->trigger();
}

// Answers the next modal alert with the button of that text, after optionally
// typing into its text field.
inline void answerNextAlert(const QString& buttonText, const QString& typed = QString(), bool* seen = nullptr)
{
    auto* timer = new QTimer(qApp); // goes with the application if no alert ever comes
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [=] {
        // Only an alert that offers the button: several answers can wait in turn.
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !button(modal, buttonText))
            return;
        timer->stop();
        timer->deleteLater();
        if (seen)
            *seen = true;
        if (auto* field = modal->findChild<QLineEdit*>(); field && !typed.isNull())
            field->setText(typed);
        button(modal, buttonText)->click();
    });
    timer->start();
}

} // namespace WidgetFinder
