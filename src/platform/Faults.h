#pragma once
// Test seam: makes a chosen platform call fail, so every failure path of the
// program can be exercised without permissions tricks or full disks.
#include <functional>
#include <string>

namespace kivo::faults {

enum class Call {
    Open,
    Read,
    Write,
    Flush,
    Rename,
    Delete,
    Mkdir,
    SetAttributes,
    SetTimes,
    Close,
    Lock,
    Random,
    Sync,  // syncfs of a file system, fsync of a folder
    KernelCopy,  // copy_file_range: an armed error makes the kernel decline (EXDEV, ENOSYS)
    Writeback,   // sync_file_range: an armed error is the kernel's answer
    kCount
};

// Arms `call` to fail with `error` (an errno value) on its `nth` use from now
// (1 = the next one) and on the `repeat - 1` uses after it (repeat 0: every
// use from then on). When `pathPart` is not empty only calls whose path
// contains it are counted. Arming a call replaces its earlier arming.
void Arm(Call call, int error, unsigned nth = 1, unsigned repeat = 1,
         const std::string& pathPart = std::string());

// Arms `call` to fail with `error` on every use whose path contains
// `pathPart`, however many uses come before and from whichever thread: the
// way to pick one file out of a run that works on several at once. Adds to
// the call's earlier armings of both kinds.
void ArmPath(Call call, int error, const std::string& pathPart);

// Disarms every call.
void Reset();

// Used by the platform layer: true when this use of `call` must fail; then
// errno is already set. Costs one atomic load while nothing is armed or
// watched.
bool ShouldFail(Call call, const char* path);

// Tests only: sees every use of every call that passes through this seam,
// failed or not, in order (to count data syncs, or to check that one call
// came before another). An empty function stops the watching. The observer
// runs on the calling thread and must not call into the platform layer.
using CallObserver = std::function<void(Call call, const char* path)>;
void SetObserverForTesting(CallObserver observer);

// How many times armed failures have fired since the last Reset.
unsigned FiredCount();

// Disarms everything when it goes out of scope.
struct Guard {
    Guard() { Reset(); }
    ~Guard() { Reset(); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
};

}  // namespace kivo::faults
