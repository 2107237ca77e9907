#include "Feedback.h"

#include <QApplication>

namespace {
int beeps = 0;
}

namespace Feedback {

void beep()
{
    ++beeps;
    QApplication::beep();
}

int beepCount()
{
    return beeps;
}

} // namespace Feedback
