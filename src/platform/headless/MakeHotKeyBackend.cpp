#include "HeadlessHotKeyBackend.h"

// Platforms without a shortcut backend of their own yet build and run with this one.
std::unique_ptr<HotKeyBackend> makeHotKeyBackend()
{
    return std::make_unique<HeadlessHotKeyBackend>();
}
