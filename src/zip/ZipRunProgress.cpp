#include "zip/ZipRunProgress.h"

namespace kivo::zip {

void ZipRunProgress::ShowPercent(int percent) {
    // The writer reports after every 32 KiB block; the bar only needs to
    // hear about a new position.
    if (percent == shown_) return;
    shown_ = percent;
    sink_.SetPercent(percent);
}

}  // namespace kivo::zip
