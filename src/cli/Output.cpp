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

std::string RowField(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default: out += c; break;
        }
    }
    return out;
}

void PrintRow(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += '\t';
        line += RowField(fields[i]);
    }
    PrintLine(line);
}

void PrintLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

void PrintMessage(const std::string& text) {
    // Messages quote file and entry names, which may hold escape sequences;
    // only the line breaks of the text itself may reach the terminal.
    std::string shown = TerminalText(text) + "\n";
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\n' && c != '\t') || byte == 0x7F) c = '?';
    }
    std::fflush(stdout);
    std::fwrite(shown.data(), 1, shown.size(), stderr);
}

void PrintError(const std::string& text) { PrintMessage("kivo-cli: " + text); }

}  // namespace kivo::cli
