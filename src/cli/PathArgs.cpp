#include "cli/PathArgs.h"

#include <filesystem>
#include <system_error>

#include "platform/Paths.h"

namespace kivo::cli {

std::string AbsolutePath(const std::string& typed) {
    const std::string text = Trim(typed);
    if (text.empty()) return text;
    std::filesystem::path path(text);
    if (path.is_relative()) {
        std::error_code error;
        const std::filesystem::path here = std::filesystem::current_path(error);
        if (!error) path = here / path;
    }
    std::string result = path.lexically_normal().string();
    NormalizePath(result);
    return result;
}

std::string FullPathAsTyped(const std::string& typed) {
    const std::string text = Trim(typed);
    if (text.empty() || text.front() == '/') return text;
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    if (error) return std::string();
    return JoinPath(here.string(), text);
}

}  // namespace kivo::cli
