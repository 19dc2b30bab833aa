#include "zip/format/ZipProgress.h"

namespace kivo::zip {

void ZipProgress::AddDone(std::uint64_t bytes) {
    done_ += bytes;
    if (total_ == 0) return;
    // Files that grew after the scan can push done past the total; the bar
    // still ends at 100.
    const std::uint64_t percent = done_ * 100 / total_;
    ShowPercent(percent > 100 ? 100 : static_cast<int>(percent));
}

}  // namespace kivo::zip
