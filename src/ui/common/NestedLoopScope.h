#pragma once
// Marks the time a nested event loop runs (a dialog, a message box, the bind
// menu, a drag). Dialogs hold the objects of the main window's rows, so the
// lists must not be rebuilt under them: a reload of the stores waits while
// any scope is open.
namespace kivo {

class NestedLoopScope {
public:
    NestedLoopScope() { ++depth_; }
    ~NestedLoopScope() { --depth_; }
    NestedLoopScope(const NestedLoopScope&) = delete;
    NestedLoopScope& operator=(const NestedLoopScope&) = delete;

    static bool Active() { return depth_ > 0; }

private:
    static inline int depth_ = 0;  // the user-interface thread only
};

}  // namespace kivo
