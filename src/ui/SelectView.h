#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>

#include <QMenu>

class QLabel;

// A compact pop-up selector: the current choice and a chevron badge. A click
// anywhere on it opens a menu of the choices.
class SelectView : public QWidget {
    Q_OBJECT

public:
    SelectView(const QStringList& items, const QString& selected, std::function<void(const QString&)> onChange);
    SelectView() = delete;
    SelectView(const SelectView&) = delete;
    SelectView& operator=(const SelectView&) = delete;

    const QString& selected() const { return m_selected; }
    const QStringList& items() const { return m_items; }
    QString title() const;

    // The menu while it is shown.
    QMenu* menu() const { return m_menu; }
    void popUp();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void picked(int index);

    QLabel* m_titleLabel;
    QString m_selected;
    const QStringList m_items;
    const std::function<void(const QString&)> m_onChange;
    QPointer<QMenu> m_menu;
};
