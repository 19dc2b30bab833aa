#pragma once
// The local date and time the desktop program stamps names with. Tests
// set it, so a name made from the clock is known in advance.
#include "platform/FileTime.h"

namespace kivo {

TimeParts LocalTimeNow();

// While one lives, LocalTimeNow gives `fixed`.
class LocalClockOverride {
public:
    explicit LocalClockOverride(const TimeParts& fixed);
    ~LocalClockOverride();
    LocalClockOverride(const LocalClockOverride&) = delete;
    LocalClockOverride& operator=(const LocalClockOverride&) = delete;

private:
    const TimeParts* previous_;
    TimeParts fixed_;
};

}  // namespace kivo
