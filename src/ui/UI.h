#pragma once

#include <QFont>
#include <QIcon>
#include <QList>
#include <QString>

#include <functional>

#include <optional>

class QColor;
class QLabel;
class QPalette;
class QLineEdit;
class QWidget;

// Builders for the pieces every settings page is made of: a page is a column of
// sections; a section is a header, a card of rows and a footnote.
namespace UI {

QLabel* header(const QString& text);
QLabel* footnote(const QString& text);
QLineEdit* field(const QString& text, const QString& placeholder, int width);
// Title (with optional subtitle and icon) at the left end, the accessories at the right.
QWidget* row(const QString& title, const std::optional<QString>& subtitle = std::nullopt, const QIcon& icon = {},
             const QList<QWidget*>& accessories = {});
QWidget* card(const QList<QWidget*>& rows);
QWidget* section(const std::optional<QString>& title, const QList<QWidget*>& rows,
                 const std::optional<QString>& footnote = std::nullopt);
QLabel* link(const QString& leading, const QString& linkText, const QString& url);

// Secondary text (subtitles, footnotes): the current text colour toned towards
// the background, so it keeps its contrast in light and dark palettes alike.
void makeSecondary(QWidget* widget);
QColor secondaryColor(const QPalette& palette);
// A red that reads at 4.5:1 or more on the palette's window colour, light or dark.
QColor problemColor(const QPalette& palette);

// Calls apply now and again whenever the application's palette changes, for
// what a widget draws from colours it computed itself.
void followPalette(QWidget* widget, std::function<void(QWidget*)> apply);

// Fonts in pixel sizes, which is what the page measures are given in, at the
// default font size; they grow with the desktop's font size.
QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);

} // namespace UI
