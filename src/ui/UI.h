#pragma once

#include <QFont>
#include <QIcon>
#include <QList>
#include <QString>

#include <optional>

class QLabel;
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

// Fonts in pixel sizes, which is what the page measures are given in.
QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);

} // namespace UI
