#include "ui/common/LocalClock.h"

namespace kivo {

namespace {

const TimeParts* fixedTime = nullptr;

}  // namespace

TimeParts LocalTimeNow() {
    if (fixedTime != nullptr) return *fixedTime;
    TimeParts now;
    FileTimeToLocalParts(CurrentFileTime(), now);
    return now;
}

LocalClockOverride::LocalClockOverride(const TimeParts& fixed)
    : previous_(fixedTime), fixed_(fixed) {
    fixedTime = &fixed_;
}

LocalClockOverride::~LocalClockOverride() { fixedTime = previous_; }

}  // namespace kivo
