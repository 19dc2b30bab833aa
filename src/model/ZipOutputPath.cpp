#include "model/ZipOutputPath.h"

#include <cstdio>

#include "model/Operation.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace kivo {

namespace {

bool EqualsIgnoringAsciiCase(const std::string& text, const std::string& expected) {
    if (text.size() != expected.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != expected[i]) return false;
    }
    return true;
}

// A name such as ".zip", whose only dot is its first character, is not
// taken as already having the extension.
bool HasZipExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return false;
    return EqualsIgnoringAsciiCase(name.substr(dot), ".zip");
}

}  // namespace

std::string SavedZipOutputPath(const std::string& folder, const std::string& name, bool byTime,
                               const TimeParts& localNow) {
    std::string path = folder;
    path += kSeparator;
    path += name;
    if (byTime) {
        char stamp[96];
        std::snprintf(stamp, sizeof stamp, "%02d%02d%02d%02d%02d%02d.zip", localNow.year % 100,
                      localNow.month, localNow.day, localNow.hour, localNow.minute,
                      localNow.second);
        path += stamp;
    } else if (!HasZipExtension(name)) {
        path += ".zip";
    }
    NormalizePath(path);
    return path;
}

std::string SavedZipOutputPath(const Operation& operation, const TimeParts& localNow) {
    return SavedZipOutputPath(operation.destination, operation.zipName,
                              operation.zipNameByTime != 0, localNow);
}

std::string SavedZipOutputPath(const Operation& operation) {
    TimeParts now;
    FileTimeToLocalParts(CurrentFileTime(), now);
    return SavedZipOutputPath(operation, now);
}

}  // namespace kivo
