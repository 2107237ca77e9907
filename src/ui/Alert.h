#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// A modal question with buttons in a fixed order, answered as 1000 for the first
// button, 1001 for the second and 1002 for the third. Closing it answers as the
// last button. The accessory stays the caller's.
namespace Alert {

inline constexpr int firstButton = 1000;

int run(const QString& message, const QString& informative, const QStringList& buttons, QWidget* accessory = nullptr);

} // namespace Alert
