#pragma once
// Finding a set by name. Names are the same ignoring letter case
// (SameSetName), and the set editor never lets two such names into a store,
// but a store written elsewhere may hold "Work" and "WORK" side by side.
// Then the name spelled exactly wins; a name that fits several of them in
// other spellings only names none of them for sure, and is refused rather
// than guessed.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

enum class NameMatchResult { None, Found, Ambiguous };

struct NameMatch {
    NameMatchResult result = NameMatchResult::None;
    std::size_t index = 0;  // of the name found, when Found
    // Every name equal to the one looked up in any letter case, in order:
    // what an Ambiguous lookup could have meant.
    std::vector<std::size_t> candidates;

    bool found() const { return result == NameMatchResult::Found; }
};

// The first name spelled exactly as `wanted`; else the first name equal to
// it ignoring letter case, provided all such names are spelled alike; else
// Ambiguous (or None when no name fits).
NameMatch MatchName(const std::vector<std::string_view>& names, std::string_view wanted);

// Whether a name bound to `bound` (an operation's set name) means the set
// named `name`, the other sets being named `others`: `bound` must not mean
// one of them, nor fit several in other spellings.
bool MeansSet(std::string_view bound, std::string_view name, const std::vector<std::string>& others);

}  // namespace kivo
