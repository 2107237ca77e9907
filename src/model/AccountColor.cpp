#include "AccountColor.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QtMath>

#include <algorithm>

namespace {

// Paints the circle at paint time, so the dot stays sharp at any scale.
class DotIconEngine : public QIconEngine {
public:
    DotIconEngine(QColor color, qreal diameter)
        : m_color(color)
        , m_diameter(diameter)
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(m_color);
        // A larger slot than the dot (a menu's icon column) shows the dot at its own size, centred.
        const qreal side = std::min<qreal>({m_diameter, qreal(rect.width()), qreal(rect.height())});
        QRectF circle(0, 0, side, side);
        circle.moveCenter(QRectF(rect).center());
        painter->drawEllipse(circle);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = qRound(m_diameter);
        return QSize(side, side).boundedTo(size);
    }

    QIconEngine* clone() const override { return new DotIconEngine(m_color, m_diameter); }
    QString key() const override { return QStringLiteral("CorvalinkDot"); }

private:
    QColor m_color;
    qreal m_diameter;
};

} // namespace

namespace AccountColor {

const QList<Entry>& all()
{
    static const QList<Entry> palette{
        {QStringLiteral("Red"), QColor(0xFF, 0x3B, 0x30)},    {QStringLiteral("Orange"), QColor(0xFF, 0x95, 0x00)},
        {QStringLiteral("Yellow"), QColor(0xFF, 0xCC, 0x00)}, {QStringLiteral("Green"), QColor(0x34, 0xC7, 0x59)},
        {QStringLiteral("Blue"), QColor(0x00, 0x7A, 0xFF)},   {QStringLiteral("Purple"), QColor(0xAF, 0x52, 0xDE)},
        {QStringLiteral("Pink"), QColor(0xFF, 0x2D, 0x55)},   {QStringLiteral("Gray"), QColor(0x8E, 0x8E, 0x93)},
    };
    return palette;
}

const QStringList& names()
{
    static const QStringList list = [] {
        QStringList result{QStringLiteral("None")};
        for (const Entry& entry : all())
            result.append(entry.name);
        return result;
    }();
    return list;
}

QIcon dot(const std::optional<QString>& name, qreal diameter)
{
    if (!name)
        return {};
    for (const Entry& entry : all()) {
        if (entry.name == *name)
            return QIcon(new DotIconEngine(entry.color, diameter));
    }
    return {};
}

QIcon dotOrSpace(const std::optional<QString>& name, qreal diameter)
{
    const QIcon shown = dot(name, diameter);
    if (!shown.isNull())
        return shown;
    QPixmap space(qCeil(diameter), qCeil(diameter));
    space.fill(Qt::transparent);
    return QIcon(space);
}

} // namespace AccountColor
