#pragma once

#include <QWidget>

class QLabel;

// A small circle, the label colour at 14 % opacity, holding a symbol image.
class RoundBadge : public QWidget {
    Q_OBJECT

public:
    RoundBadge(const QString& symbol, qreal diameter);
    RoundBadge() = delete;
    RoundBadge(const RoundBadge&) = delete;
    RoundBadge& operator=(const RoundBadge&) = delete;

    QColor fillColor() const;
    // Whether the symbol was found; without it the badge shows its fill alone.

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void refreshIcon();

    QString m_symbol;
    qreal m_diameter;
    QLabel* m_icon;
};
