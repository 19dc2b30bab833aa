#include "scan/Survey.h"

#include "platform/Paths.h"
#include "scan/FolderWalk.h"

namespace kivo {

std::string_view FileExtension(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    return name.substr(dot + 1);
}

std::string FileTypeRecord::Extension() const { return std::string(FileExtension(sampleName)); }

class SurveyWalk final : public FolderWalk {
public:
    SurveyWalk(FileTypeSurvey& survey, bool includeSubfolders,
               const FileTypeSurvey::Progress& progress, const CancelFlag* cancel)
        : FolderWalk(includeSubfolders, true), survey_(survey), progress_(progress), cancel_(cancel) {}

protected:
    Visit OnFile(const std::string& path, std::size_t nameOffset, const FindData& data) override {
        survey_.Count(std::string_view(path).substr(nameOffset), data.attributes, data.size);
        if (progress_) progress_(survey_.TotalFiles());
        if (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed) != 0) Stop();
        return Visit::Counted;
    }

private:
    FileTypeSurvey& survey_;
    const FileTypeSurvey::Progress& progress_;
    const CancelFlag* cancel_;
};

void FileTypeSurvey::Count(std::string_view name, std::uint32_t attributes, std::uint64_t size) {
    ++totalFiles_;
    totalSize_ += size;
    const std::string_view extension = FileExtension(name);
    // ASCII folding only, as the matcher does: the pattern made from a row
    // must match every file counted in it.
    key_.assign(extension);
    for (char& c : key_) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    const auto found = byExtension_.find(key_);
    if (found != byExtension_.end()) {
        FileTypeRecord& record = records_[found->second];
        ++record.fileCount;
        record.totalSize += size;
        return;
    }
    FileTypeRecord record;
    record.sampleName.assign(name);
    record.sampleAttributes = attributes;
    record.fileCount = 1;
    record.totalSize = size;
    byExtension_.emplace(key_, records_.size());
    records_.push_back(std::move(record));
}

void FileTypeSurvey::Run(const std::vector<std::string>& folders, bool includeSubfolders,
                         const Progress& progress, const CancelFlag* cancel) {
    records_.clear();
    byExtension_.clear();
    totalFiles_ = 0;
    totalSize_ = 0;
    SurveyWalk walk(*this, includeSubfolders, progress, cancel);
    for (const std::string& folder : folders) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed) != 0) break;
        walk.Walk(NormalizedPath(folder));
    }
}

}  // namespace kivo
