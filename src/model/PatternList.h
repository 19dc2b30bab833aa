#pragma once
// The display form of a filter's pattern list, shared by the filter box and
// the description of a set entry.
#include <string>
#include <vector>

namespace kivo {

// The first pattern, then each further one appended as "%s; %s" does; an
// empty list gives the empty string.
std::string JoinPatterns(const std::vector<std::string>& patterns);

}  // namespace kivo
