#include "ops/RunProgress.h"

namespace kivo {

void RunProgress::Start(std::uint64_t total) {
    total_ = total;
    done_ = 0;
}

void RunProgress::Add(std::uint64_t amount) {
    done_ += amount;
    if (total_ == 0) return;
    sink_.SetPercent(Percent(done_, total_));
}

int RunProgress::Percent(std::uint64_t done, std::uint64_t total) {
    if (total == 0) return 0;
    const std::uint64_t percent = done * 100 / total;
    return percent > 100 ? 100 : static_cast<int>(percent);
}

}  // namespace kivo
