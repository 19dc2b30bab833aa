#pragma once
// The run dialog's phase label, counter label and progress bar, drawn on
// one line of standard error. Drawn only when standard error is a terminal
// and -q was not given, and at most ten times a second, so a run over many
// small files spends its time on the files, not on the terminal.
#include <chrono>
#include <string>

#include "report/RunSink.h"

namespace kivo::cli {

class TerminalProgress final : public RunSink {
public:
    explicit TerminalProgress(bool quiet);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void ShowLabels() override;
    void SetPhase(const std::string& text) override;
    void SetCounter(const std::string& text) override;
    void SetPercent(int percent) override;
    // Printed whatever -q says, on a line of its own above the progress line.
    void Notice(const std::string& text) override;

    // Wipes the line, so the next message starts on a clean one.
    void Finish();

    // The text of the line for the given state, cut to `width` columns.
    static std::string Compose(const std::string& phase, const std::string& counter, int percent,
                               int width);

private:
    void Paint();

    bool enabled_;
    bool painted_ = false;
    std::string phase_;
    std::string counter_;
    int percent_ = 0;
    std::chrono::steady_clock::time_point lastPaint_{};
};

}  // namespace kivo::cli
