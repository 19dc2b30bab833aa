#include "scan/Patterns.h"

#include <cstring>

#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace kivo {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Only A to Z fold: bytes of multi-byte characters must compare exactly.
inline unsigned char FoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

bool MatchSegment(const char* pattern, const char* text, std::size_t n, bool caseSensitive) {
    for (std::size_t i = 0; i < n; ++i) {
        const auto p = static_cast<unsigned char>(pattern[i]);
        const auto t = static_cast<unsigned char>(text[i]);
        if (p == '?') {
            if (t == 0) return false;
            continue;
        }
        if (caseSensitive ? p != t : FoldAscii(p) != FoldAscii(t)) return false;
    }
    return true;
}

bool MatchBytes(const char* pattern, std::size_t patternLength, const char* text,
                std::size_t textLength, bool caseSensitive) {
    if (patternLength == 0) return textLength == 0;
    std::size_t p = 0;
    std::size_t t = 0;
    while (p < patternLength) {
        std::size_t n = 0;
        while (p + n < patternLength && pattern[p + n] != '*') ++n;
        // Leftmost occurrence only: once found, a later failure is final.
        for (;;) {
            if (t >= textLength) return false;
            if (textLength - t < n) return false;
            if (MatchSegment(pattern + p, text + t, n, caseSensitive)) break;
            ++t;
        }
        t += n;
        p += n;
        while (p < patternLength && pattern[p] == '*') ++p;
    }
    return t == textLength || pattern[patternLength - 1] == '*';
}

}  // namespace

void ParsePatterns(const std::string& text, std::vector<std::string>& patterns) {
    patterns.clear();
    std::string unified;
    unified.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            unified += ';';
            ++i;
        } else if (text[i] == '\n' || text[i] == ',') {
            // A bare line feed is how the toolkit's multi-line boxes break
            // lines here; kept inside a piece it would make a pattern that
            // can never be meant.
            unified += ';';
        } else {
            unified += text[i];
        }
    }
    std::size_t start = 0;
    while (start <= unified.size()) {
        std::size_t end = unified.find(';', start);
        if (end == std::string::npos) end = unified.size();
        std::size_t first = start;
        std::size_t last = end;
        while (first < last && IsBlank(unified[first])) ++first;
        while (last > first && IsBlank(unified[last - 1])) --last;
        if (last > first) patterns.emplace_back(unified, first, last - first);
        start = end + 1;
    }
}

std::vector<std::string> ParsePatterns(const std::string& text) {
    std::vector<std::string> patterns;
    ParsePatterns(text, patterns);
    return patterns;
}

bool WildcardMatch(const char* pattern, const char* text, bool caseSensitive) {
    if (pattern == nullptr || text == nullptr) return false;
    return MatchBytes(pattern, std::strlen(pattern), text, std::strlen(text), caseSensitive);
}

bool WildcardMatch(std::string_view pattern, std::string_view text, bool caseSensitive) {
    return MatchBytes(pattern.data(), pattern.size(), text.data(), text.size(), caseSensitive);
}

bool AcceptsFileWithPath(const SetEntry& entry, std::string_view fileName,
                         std::string_view fullPath) {
    if (entry.patterns.empty()) return true;
    bool matched = false;
    for (const std::string& pattern : entry.patterns) {
        const bool wholePath = pattern.find(kSeparator) != std::string::npos;
        if (WildcardMatch(pattern, wholePath ? fullPath : fileName, false)) {
            matched = true;
            break;
        }
    }
    return entry.filterMode == 0 ? matched : !matched;
}

bool AcceptsFile(const SetEntry& entry, const std::string& folder, const std::string& fileName) {
    if (entry.patterns.empty()) return true;
    std::string fullPath;
    for (const std::string& pattern : entry.patterns) {
        if (pattern.find(kSeparator) != std::string::npos) {
            // JoinPath: the root "/" must not give "//name", which the
            // normaliser keeps as a network-style prefix.
            fullPath = NormalizedPath(JoinPath(folder, fileName));
            break;
        }
    }
    return AcceptsFileWithPath(entry, fileName, fullPath);
}

}  // namespace kivo
