#pragma once
// One scratch file per fuzz process, rewritten for every input, so the store
// loaders are also exercised through their buffered file path.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace kivo::fuzz {

inline std::string MakeScratchFile() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kivo-fuzz-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) std::abort();
    ::close(fd);
    return pattern;
}

inline void RemoveScratchFile();

inline const std::string& ScratchPath() {
    static const std::string path = MakeScratchFile();
    // Registered after `path` is complete, so it runs before its destructor.
    static const bool removeAtExit = std::atexit(RemoveScratchFile) == 0;
    (void)removeAtExit;
    return path;
}

inline void RemoveScratchFile() { std::remove(ScratchPath().c_str()); }

inline const std::string& WriteScratch(const std::uint8_t* data, std::size_t size) {
    const std::string& path = ScratchPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    if (size && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
    return path;
}

}  // namespace kivo::fuzz
