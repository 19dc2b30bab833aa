#pragma once
// The one comparison of set names. Operations find their set by name and
// the set editor refuses duplicate names; both must agree on what "the same
// name" means, so every such comparison goes through here.
#include <string_view>

namespace kivo {

// True when the two UTF-8 names are equal ignoring letter case, for every
// letter: each code point is taken through Unicode's simple case folding
// ("ÄÖÜ" and "äöü" are the same name, "Straße" and "STRASSE" are not).
// The table is compiled in, so the answer never depends on the process's
// locale (cron jobs run under "C"). Bytes that are not valid UTF-8 match
// only the same bytes.
bool SameSetName(std::string_view a, std::string_view b);

// The simple case folding of one code point (itself when it has none).
char32_t FoldCase(char32_t c);

}  // namespace kivo
