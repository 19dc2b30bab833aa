#pragma once
// The one comparison of set names. Operations find their set by name and
// the set editor refuses duplicate names; both must agree on what "the same
// name" means, so every such comparison goes through here.
#include <string_view>

namespace kivo {

// True when the two names are equal ignoring letter case. Only the ASCII
// letters A-Z/a-z are folded: names are UTF-8 byte strings here, and folding
// bytes of multi-byte sequences could make distinct names collide. Letters
// outside ASCII therefore compare exactly.
bool SameSetName(std::string_view a, std::string_view b);

}  // namespace kivo
