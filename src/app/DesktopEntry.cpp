#include "app/DesktopEntry.h"

#include <QString>
#include <string_view>

namespace kivo {

namespace {

// Characters the launcher's command-line syntax reserves: an argument that
// holds one must be quoted.
constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
// Characters that must be escaped inside a quoted argument.
constexpr std::string_view kEscapedInQuotes = "\"`$\\";

bool Writable(const std::string& text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return false;
    }
    // Desktop entries are UTF-8 throughout.
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toStdString() == text;
}

// The escapes of a string value: only the backslash can occur, since
// control characters are refused before.
std::string StringValue(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

std::string ExecValue(const std::string& program) {
    const bool quote = program.find_first_of(kReserved) != std::string::npos;
    std::string argument;
    if (quote) argument += '"';
    for (const char c : program) {
        if (quote && kEscapedInQuotes.find(c) != std::string_view::npos) argument += '\\';
        // A single '%' would start a field code.
        if (c == '%') argument += '%';
        argument += c;
    }
    if (quote) argument += '"';
    return StringValue(argument);
}

std::optional<std::string> DesktopEntryText(const std::string& name, const std::string& program) {
    if (!Writable(name) || !Writable(program)) return std::nullopt;
    std::string text = "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Name=" + StringValue(name) + "\n";
    text += "Comment=" + StringValue(name) + "\n";
    // TryExec is a plain path, looked at before Exec: a launcher whose
    // program is gone drops out of menus.
    text += "TryExec=" + StringValue(program) + "\n";
    text += "Exec=" + ExecValue(program) + "\n";
    text += std::string("Icon=") + kDesktopIconName + "\n";
    return text;
}

}  // namespace kivo
