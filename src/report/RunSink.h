#pragma once
// What a worker reports while it runs. The desktop run dialogs and kivo-cli
// each implement it; workers never touch widgets. Every call comes from the
// worker's thread: a receiver that paints must hand the values over to its
// own thread and decide how often to repaint.
#include <atomic>
#include <cstdint>
#include <string>

namespace kivo {

class RunSink {
public:
    virtual ~RunSink() = default;
    // The phase label and the counter label become visible.
    virtual void ShowLabels() {}
    // Phase label text: "Scanning Files...", "Copying Files...", ...
    virtual void SetPhase(const std::string& /*text*/) {}
    // Counter label text, "%s Files,  %s".
    virtual void SetCounter(const std::string& /*text*/) {}
    // Progress bar position, 0 to 100.
    virtual void SetPercent(int /*percent*/) {}
    // One line about one file that the run passed over or treated with
    // care, the run going on (a destination left alone, a file deleted
    // without being erased).
    virtual void Notice(const std::string& /*text*/) {}
};

// The three ends of a run.
enum class RunEnd { Done, Stopped, Failed };

struct RunResult {
    RunEnd end = RunEnd::Done;
    std::string errorText;  // the message when end is Failed
};

// The dialog's cancel flag: written by the user interface thread (or a
// signal handler), polled by the worker between units of work.
using CancelFlag = std::atomic<int>;

}  // namespace kivo
