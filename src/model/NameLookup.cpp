#include "model/NameLookup.h"

#include "model/SetName.h"

namespace kivo {

NameMatch MatchName(const std::vector<std::string_view>& names, std::string_view wanted) {
    NameMatch match;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (SameSetName(names[i], wanted)) match.candidates.push_back(i);
    }
    for (std::size_t i : match.candidates) {
        if (names[i] == wanted) {
            match.result = NameMatchResult::Found;
            match.index = i;
            return match;
        }
    }
    if (match.candidates.empty()) return match;
    const std::string_view first = names[match.candidates.front()];
    for (std::size_t i : match.candidates) {
        if (names[i] != first) {
            match.result = NameMatchResult::Ambiguous;
            return match;
        }
    }
    match.result = NameMatchResult::Found;
    match.index = match.candidates.front();
    return match;
}

bool MeansSet(std::string_view bound, std::string_view name, const std::vector<std::string>& others) {
    if (!SameSetName(bound, name)) return false;
    // The set itself goes last: of two sets spelled exactly alike, the one
    // that stays keeps what is bound to both.
    std::vector<std::string_view> names(others.begin(), others.end());
    names.push_back(name);
    const NameMatch match = MatchName(names, bound);
    return match.found() && match.index == names.size() - 1;
}

}  // namespace kivo
