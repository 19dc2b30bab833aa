#pragma once
// Shared pieces of the operation tests: a sink that records what a run
// reports, set builders and file helpers.
#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/FileSet.h"
#include "report/RunSink.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace kivo::test {

class RecordingSink : public RunSink {
public:
    void ShowLabels() override { labelsShown = true; }
    void SetPhase(const std::string& text) override {
        phases.push_back(text);
        if (onPhase) onPhase(text);
    }
    void SetCounter(const std::string& text) override {
        counters.push_back(text);
        if (onCounter) onCounter(text);
    }
    void SetPercent(int percent) override {
        percents.push_back(percent);
        if (onPercent) onPercent(percent);
    }

    void Notice(const std::string& text) override { notices.push_back(text); }

    bool labelsShown = false;
    std::vector<std::string> notices;
    std::vector<std::string> phases;
    std::vector<std::string> counters;
    std::vector<int> percents;
    std::function<void(const std::string&)> onPhase;
    std::function<void(const std::string&)> onCounter;
    std::function<void(int)> onPercent;
};

inline std::unique_ptr<FileSet> MakeSet(const std::vector<std::string>& paths,
                                        int includeSubfolders = 1) {
    auto set = std::make_unique<FileSet>();
    set->name = "Test";
    for (const std::string& path : paths) {
        auto entry = std::make_unique<SetEntry>();
        entry->path = path;
        entry->includeSubfolders = includeSubfolders;
        set->entries.push_back(std::move(entry));
    }
    return set;
}

// `size` bytes of a fill byte.
inline void WriteBytes(const std::string& path, std::size_t size, char fill) {
    WriteFile(path, std::string(size, fill));
}

inline bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// Names of the temporary files a copy may have left in a folder tree.
inline std::vector<std::string> TempFilesUnder(const std::string& folder) {
    std::vector<std::string> found;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(".kvt-", 0) == 0) found.push_back(it->path().string());
    }
    return found;
}

inline FindData Info(const std::string& path) {
    FindData data;
    GetFindData(path, data, /*followLinks=*/false);
    return data;
}

// True when every value is at least the one before it.
inline bool NeverDecreases(const std::vector<int>& values) {
    for (std::size_t i = 1; i < values.size(); ++i)
        if (values[i] < values[i - 1]) return false;
    return true;
}

// The random pass's 16,384 bytes for a seed, from the generator's
// definition, kept apart from the code under test.
inline std::string ReferenceRandomPattern(std::uint32_t seed) {
    std::string bytes(16384, '\0');
    for (char& byte : bytes) {
        seed = seed * 214013u + 2531011u;
        byte = static_cast<char>((seed >> 16) & 0xFFu);
    }
    return bytes;
}

// The pattern of `pass` repeated over `size` bytes, as a pass writes it.
inline std::string PassContent(unsigned pass, std::size_t size, std::uint32_t seed) {
    const std::string unit =
        pass == 0 ? ReferenceRandomPattern(seed) : std::string(16384, static_cast<char>(pass - 1));
    std::string out;
    while (out.size() < size) out += unit.substr(0, std::min(unit.size(), size - out.size()));
    return out;
}

// Compares file contents without printing megabytes on a mismatch.
inline ::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    std::size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
    return ::testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                         << ", first difference at offset " << i;
}

inline std::string ErrorText(const char* prefix, const std::string& path) {
    return std::string(prefix) + ":\r\n" + path;
}

}  // namespace kivo::test
