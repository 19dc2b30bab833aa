#include "platform/Faults.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace kivo::faults {
namespace {

struct Arming {
    bool armed = false;
    int error = 0;
    unsigned nth = 1;
    unsigned repeat = 1;
    unsigned seen = 0;   // matching uses counted since arming
    unsigned fired = 0;  // failures given since arming
    std::string pathPart;
};

struct PathArming {
    int error = 0;
    std::string pathPart;
};

struct State {
    std::mutex mutex;
    Arming calls[static_cast<int>(Call::kCount)];
    std::vector<PathArming> paths[static_cast<int>(Call::kCount)];
    unsigned firedTotal = 0;
    // Read without the lock: a use while nothing is armed stays cheap.
    std::atomic<bool> anyArmed{false};
};

State& GetState() {
    static State state;
    return state;
}

struct Observing {
    std::atomic<bool> active{false};
    std::mutex mutex;
    CallObserver observer;
};

Observing& GetObserving() {
    static Observing observing;
    return observing;
}

}  // namespace

void Arm(Call call, int error, unsigned nth, unsigned repeat, const std::string& pathPart) {
    State& s = GetState();
    std::lock_guard<std::mutex> lock(s.mutex);
    Arming& a = s.calls[static_cast<int>(call)];
    a = Arming{};
    a.armed = true;
    a.error = error;
    a.nth = nth == 0 ? 1 : nth;
    a.repeat = repeat;
    a.pathPart = pathPart;
    s.anyArmed.store(true);
}

void ArmPath(Call call, int error, const std::string& pathPart) {
    State& s = GetState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.paths[static_cast<int>(call)].push_back(PathArming{error, pathPart});
    s.anyArmed.store(true);
}

void Reset() {
    State& s = GetState();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (Arming& a : s.calls) a = Arming{};
    for (auto& list : s.paths) list.clear();
    s.firedTotal = 0;
    s.anyArmed.store(false);
}

void SetObserverForTesting(CallObserver observer) {
    Observing& o = GetObserving();
    std::lock_guard<std::mutex> lock(o.mutex);
    o.active.store(static_cast<bool>(observer));
    o.observer = std::move(observer);
}

bool ShouldFail(Call call, const char* path) {
    Observing& o = GetObserving();
    if (o.active.load(std::memory_order_relaxed)) {
        std::lock_guard<std::mutex> lock(o.mutex);
        if (o.observer) o.observer(call, path);
    }
    State& s = GetState();
    if (!s.anyArmed.load(std::memory_order_acquire)) return false;
    std::lock_guard<std::mutex> lock(s.mutex);
    if (path != nullptr) {
        for (const PathArming& p : s.paths[static_cast<int>(call)]) {
            if (std::strstr(path, p.pathPart.c_str()) == nullptr) continue;
            ++s.firedTotal;
            errno = p.error;
            return true;
        }
    }
    Arming& a = s.calls[static_cast<int>(call)];
    if (!a.armed) return false;
    if (!a.pathPart.empty() && (path == nullptr || std::strstr(path, a.pathPart.c_str()) == nullptr))
        return false;
    ++a.seen;
    if (a.seen < a.nth) return false;
    if (a.repeat != 0 && a.fired >= a.repeat) return false;
    ++a.fired;
    ++s.firedTotal;
    errno = a.error;
    return true;
}

unsigned FiredCount() {
    State& s = GetState();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.firedTotal;
}

}  // namespace kivo::faults
