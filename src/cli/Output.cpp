#include "cli/Output.h"

#include <cstdio>

namespace kivo::cli {

std::string TerminalText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

void PrintRow(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += '\t';
        line += fields[i];
    }
    PrintLine(line);
}

void PrintLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

void PrintMessage(const std::string& text) {
    const std::string shown = TerminalText(text) + "\n";
    std::fflush(stdout);
    std::fwrite(shown.data(), 1, shown.size(), stderr);
}

void PrintError(const std::string& text) { PrintMessage("kivo-cli: " + text); }

}  // namespace kivo::cli
