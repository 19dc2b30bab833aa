#pragma once
// The filter of a folder entry: pattern text, its display form, the
// program's own wildcard matcher and the decision whether a found file is
// taken.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "model/PatternList.h"  // JoinPatterns

#include "model/FileSet.h"

namespace kivo {

// Splits the text typed into a filter field at ';', ',' and line breaks;
// trims each piece and drops empty ones. `patterns` is emptied first.
void ParsePatterns(const std::string& text, std::vector<std::string>& patterns);
std::vector<std::string> ParsePatterns(const std::string& text);


// '*' any run, '?' one byte, other bytes themselves; ASCII letters fold
// unless `caseSensitive`. Each segment between stars is taken at its
// leftmost occurrence, with no backtracking, and the first segment is not
// tied to the start of the text; a pattern not ending in '*' must reach the
// end of the text. A null pattern or text never matches. Allocates nothing.
bool WildcardMatch(const char* pattern, const char* text, bool caseSensitive = false);
bool WildcardMatch(std::string_view pattern, std::string_view text,
                   bool caseSensitive = false);

// Whether a file named `fileName` found in `folder` belongs to the entry.
// A pattern holding a separator is matched against the whole normalised
// path, any other against the name alone.
bool AcceptsFile(const SetEntry& entry, const std::string& folder,
                 const std::string& fileName);

// The same decision when the caller already holds the file's normalised
// full path (the expansion builds it anyway); nothing is allocated.
bool AcceptsFileWithPath(const SetEntry& entry, std::string_view fileName,
                         std::string_view fullPath);

}  // namespace kivo
