#include "model/PatternList.h"

namespace kivo {

std::string JoinPatterns(const std::vector<std::string>& patterns) {
    std::string text;
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        if (i > 0) text += "; ";
        text += patterns[i];
    }
    return text;
}

}  // namespace kivo
