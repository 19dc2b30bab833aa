#pragma once
// The file-type survey behind the Filter Builder and `kivo-cli survey`:
// every file under the chosen folders, grouped by extension. Type names are
// the caller's business (it asks its toolkit with the sample name).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "report/RunSink.h"

namespace kivo {

// One extension found: the first file found with it stands for the group.
struct FileTypeRecord {
    std::string sampleName;  // bare name, letter case as found
    std::uint32_t sampleAttributes = 0;
    std::uint64_t fileCount = 0;
    std::uint64_t totalSize = 0;

    // The extension in the letter case of the sample name.
    std::string Extension() const;
};

// Text after the last '.', a '.' in the first position not counting;
// empty when there is none ("README", "name.", ".profile").
std::string_view FileExtension(std::string_view name);

class FileTypeSurvey {
public:
    // Called after every file counted with the running file count.
    using Progress = std::function<void(std::uint64_t count)>;

    // Starts afresh, then walks the folders in order (sub-folders when
    // asked, never those whose names begin with '.'; folder links are
    // followed with a cycle guard). No filter applies: every file counts.
    // A set `cancel` flag ends the survey early with what was found.
    void Run(const std::vector<std::string>& folders, bool includeSubfolders,
             const Progress& progress = {}, const CancelFlag* cancel = nullptr);

    // Rows in the order their extensions were first found.
    const std::vector<FileTypeRecord>& Records() const { return records_; }
    std::uint64_t TotalFiles() const { return totalFiles_; }
    std::uint64_t TotalSize() const { return totalSize_; }

private:
    friend class SurveyWalk;
    void Count(std::string_view name, std::uint32_t attributes, std::uint64_t size);

    std::vector<FileTypeRecord> records_;
    // Lower-case extension to its row.
    std::unordered_map<std::string, std::size_t> byExtension_;
    std::uint64_t totalFiles_ = 0;
    std::uint64_t totalSize_ = 0;
    std::string key_;  // reused look-up key
};

}  // namespace kivo
