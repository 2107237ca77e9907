#pragma once

// The system beep that answers refused input, counted so that tests can see it.
namespace Feedback {

void beep();
int beepCount();

} // namespace Feedback
