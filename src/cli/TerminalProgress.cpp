#include "cli/TerminalProgress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "cli/Output.h"

namespace kivo::cli {

namespace {

constexpr auto kRepaintInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 20;
constexpr int kDefaultWidth = 80;

int TerminalWidth() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return kDefaultWidth;
}

// Entry names of an archive reach the phase label unchecked: a name holding
// escape sequences or line breaks must not drive the terminal or break the
// one-line repaint.
std::string Printable(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) c = '?';
    }
    return out;
}

}  // namespace

TerminalProgress::TerminalProgress(bool quiet) : enabled_(!quiet && isatty(STDERR_FILENO) == 1) {}

TerminalProgress::~TerminalProgress() { Finish(); }

// Nothing is drawn until a label has a text: an empty bar at the start of
// every run would only flicker.
void TerminalProgress::ShowLabels() {}

void TerminalProgress::SetPhase(const std::string& text) {
    phase_ = TerminalText(text);
    Paint();
}

void TerminalProgress::SetCounter(const std::string& text) {
    counter_ = text;
    Paint();
}

void TerminalProgress::SetPercent(int percent) {
    percent_ = std::clamp(percent, 0, 100);
    Paint();
}

void TerminalProgress::Notice(const std::string& text) {
    Finish();  // the next repaint draws the progress line below the notice
    // One line per notice, whatever the file names in it hold: a name with a
    // line break must not pass for a notice of its own.
    PrintMessage(Printable(text));
}

std::string TerminalProgress::Compose(const std::string& phase, const std::string& counter,
                                      int percent, int width) {
    percent = std::clamp(percent, 0, 100);
    const int filled = percent * kBarWidth / 100;
    std::string line = Printable(phase);
    if (!counter.empty()) line += (line.empty() ? "" : "  ") + Printable(counter);
    line += (line.empty() ? "[" : "  [") + std::string(static_cast<std::size_t>(filled), '#') +
            std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] " +
            std::to_string(percent) + "%";
    // One column is kept free: writing the last column makes some terminals
    // wrap, and the next repaint would then start on a new line.
    const std::size_t room = width > 1 ? static_cast<std::size_t>(width - 1) : 0;
    if (line.size() > room) {
        // Never half a UTF-8 character at the cut.
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
        line.resize(cut);
    }
    return line;
}

void TerminalProgress::Paint() {
    if (!enabled_ || (phase_.empty() && counter_.empty())) return;
    const auto now = std::chrono::steady_clock::now();
    if (painted_ && now - lastPaint_ < kRepaintInterval) return;
    lastPaint_ = now;
    painted_ = true;
    const std::string text = "\r" + Compose(phase_, counter_, percent_, TerminalWidth()) + "\x1b[K";
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void TerminalProgress::Finish() {
    if (!enabled_ || !painted_) return;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
    painted_ = false;
}

}  // namespace kivo::cli
