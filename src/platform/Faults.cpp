#include "platform/Faults.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>

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

struct State {
    std::mutex mutex;
    Arming calls[static_cast<int>(Call::kCount)];
    unsigned firedTotal = 0;
    bool anyArmed = false;
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
    s.anyArmed = true;
}

void Reset() {
    State& s = GetState();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (Arming& a : s.calls) a = Arming{};
    s.firedTotal = 0;
    s.anyArmed = false;
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
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.anyArmed) return false;
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
