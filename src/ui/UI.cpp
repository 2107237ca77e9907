#include "UI.h"

#include "CardView.h"
#include "ElidedLabel.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QLabel* label(const QString& text, int pixelSize, QFont::Weight weight = QFont::Normal)
{
    auto* label = new QLabel(text);
    label->setFont(UI::font(pixelSize, weight));
    label->setTextFormat(Qt::PlainText);
    return label;
}

class PaletteFollower : public QObject {
public:
    PaletteFollower(QWidget* widget, std::function<void(QWidget*)> apply)
        : QObject(widget)
        , m_widget(widget)
        , m_apply(std::move(apply))
    {
        // The application hears of every palette change, also where the widget
        // keeps a palette of its own.
        qApp->installEventFilter(this);
        m_apply(widget);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
            m_apply(m_widget);
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* m_widget;
    std::function<void(QWidget*)> m_apply;
};

void secondary(QWidget* widget)
{
    UI::makeSecondary(widget);
}

// A hairline between two rows of a card, drawn from the palette at paint time
// so that it shows in a dark palette as well as in a light one.
class Hairline : public QFrame {
public:
    Hairline()
    {
        setFrameShape(QFrame::HLine);
        setFixedHeight(1);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QColor line = palette().color(QPalette::WindowText);
        line.setAlphaF(0.1f);
        QPainter(this).fillRect(rect(), line);
    }
};

QWidget* textBlock(const QString& title, const std::optional<QString>& subtitle)
{
    // A long title (a label the user chose) ends in an ellipsis rather than mid-letter.
    auto* titleLabel = new ElidedLabel(title, Qt::ElideRight);
    titleLabel->setFont(UI::font(13));
    if (!subtitle)
        return titleLabel;
    auto* block = new QWidget;
    auto* layout = new QVBoxLayout(block);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(titleLabel);
    auto* subtitleLabel = new ElidedLabel(*subtitle);
    subtitleLabel->setFont(UI::font(11));
    secondary(subtitleLabel);
    layout->addWidget(subtitleLabel);
    // The subtitle's minimum width is nil, so a narrow row shortens it before
    // it takes any room from the accessories.
    return block;
}

QWidget* withIcon(QWidget* text, const QIcon& icon)
{
    auto* block = new QWidget;
    auto* layout = new QHBoxLayout(block);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* image = new QLabel;
    const QSize size = icon.actualSize(QSize(64, 64));
    image->setPixmap(icon.pixmap(size));
    image->setFixedSize(size);
    layout->addWidget(image);
    layout->addWidget(text, 1);
    return block;
}

} // namespace

namespace UI {

QFont font(int pixelSize, QFont::Weight weight)
{
    // The measures hold at the size Qt gives when the desktop sets none (9 pt,
    // 12 px); a larger desktop font makes every text larger in proportion.
    constexpr qreal defaultPointSize = 9;
    constexpr qreal defaultPixelSize = 12;
    const QFont application = QApplication::font();
    const qreal scale = application.pointSizeF() > 0 ? application.pointSizeF() / defaultPointSize
                                                     : application.pixelSize() / defaultPixelSize;
    QFont font;
    font.setPixelSize(qRound(pixelSize * std::max<qreal>(scale, 1)));
    font.setWeight(weight);
    return font;
}

QLabel* header(const QString& text)
{
    return label(text, 13, QFont::DemiBold);
}

QLabel* footnote(const QString& text)
{
    QLabel* note = label(text, 11);
    note->setWordWrap(true);
    note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    note->setMaximumWidth(492);
    secondary(note);
    return note;
}

QLineEdit* field(const QString& text, const QString& placeholder, int width)
{
    auto* edit = new QLineEdit(text);
    edit->setPlaceholderText(placeholder);
    edit->setAlignment(Qt::AlignRight);
    edit->setFrame(false);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    edit->setPalette(palette);
    edit->setAttribute(Qt::WA_MacShowFocusRect, false);
    edit->setFixedWidth(width);
    return edit;
}

QWidget* row(const QString& title, const std::optional<QString>& subtitle, const QIcon& icon,
             const QList<QWidget*>& accessories)
{
    QWidget* text = textBlock(title, subtitle);
    if (!icon.isNull())
        text = withIcon(text, icon);

    // The free width goes to the text block (stretch), whose subtitle shortens
    // when the row is narrow; the spacer only keeps the accessories at the end.
    auto* spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Minimum);
    spacer->setFixedWidth(0);

    auto* accessoryBox = new QWidget;
    auto* accessoryLayout = new QHBoxLayout(accessoryBox);
    accessoryLayout->setContentsMargins(0, 0, 0, 0);
    accessoryLayout->setSpacing(8);
    for (QWidget* accessory : accessories) {
        // Screen readers name a control after its row.
        if (accessory->accessibleName().isEmpty())
            accessory->setAccessibleName(title);
        accessoryLayout->addWidget(accessory);
    }
    accessoryBox->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);

    auto* row = new QWidget;
    row->setObjectName(QStringLiteral("row"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(14, 9, 14, 9);
    layout->setSpacing(8);
    layout->addWidget(text, 1, Qt::AlignVCenter);
    layout->addWidget(spacer);
    layout->addWidget(accessoryBox, 0, Qt::AlignVCenter);
    row->setMinimumHeight(44);
    return row;
}

QWidget* card(const QList<QWidget*>& rows)
{
    auto* card = new CardView;
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (i > 0)
            layout->addWidget(new Hairline);
        layout->addWidget(rows.at(i));
    }
    return card;
}

QWidget* section(const std::optional<QString>& title, const QList<QWidget*>& rows,
                 const std::optional<QString>& footnoteText)
{
    auto* section = new QWidget;
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    if (title)
        layout->addWidget(header(*title));
    layout->addWidget(card(rows));
    if (footnoteText)
        layout->addWidget(footnote(*footnoteText));
    return section;
}

QColor secondaryColor(const QPalette& palette)
{
    // Two thirds of the way from the background to the text: clearly quieter,
    // and above 4.5:1 contrast on the usual light and dark palettes.
    const QColor text = palette.color(QPalette::WindowText);
    const QColor back = palette.color(QPalette::Window);
    constexpr float weight = 0.66f;
    return QColor::fromRgbF(text.redF() * weight + back.redF() * (1 - weight),
                            text.greenF() * weight + back.greenF() * (1 - weight),
                            text.blueF() * weight + back.blueF() * (1 - weight));
}

QColor problemColor(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightnessF() > 0.5 ? QColor(0xb0, 0x1c, 0x1c) : QColor(0xff, 0x8f, 0x85);
}

void makeSecondary(QWidget* widget)
{
    followPalette(widget, [](QWidget* target) {
        QPalette palette = QApplication::palette();
        const QColor color = secondaryColor(palette);
        palette.setColor(QPalette::WindowText, color);
        palette.setColor(QPalette::Text, color);
        target->setPalette(palette);
    });
}

void followPalette(QWidget* widget, std::function<void(QWidget*)> apply)
{
    new PaletteFollower(widget, std::move(apply));
}

QLabel* link(const QString& leading, const QString& linkText, const QString& url)
{
    auto* label = new QLabel;
    followPalette(label, [leading, linkText, url](QWidget* target) {
        static_cast<QLabel*>(target)->setText(QStringLiteral("<span style=\"color:%1\">%2</span><a href=\"%3\" "
                                                             "style=\"font-weight:500; text-decoration:none\">%4</a>")
                                                  .arg(secondaryColor(QApplication::palette()).name(),
                                                       leading.toHtmlEscaped(), url.toHtmlEscaped(),
                                                       linkText.toHtmlEscaped()));
    });
    label->setFont(font(12));
    label->setTextFormat(Qt::RichText);
    label->setAlignment(Qt::AlignCenter);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    label->setOpenExternalLinks(true);
    return label;
}

} // namespace UI
