#pragma once
// Shared scaffolding of the extraction tests: an archive on disk, loaded,
// and a target folder inside a scratch folder, so "outside the target" can
// be examined.
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "reader_ArchiveBytes.h"
#include "support/TempDir.h"
#include "zip/format/ZipDirectory.h"

namespace kivo::test {

class ExtractFixture {
public:
    ExtractFixture() { std::filesystem::create_directories(Target()); }

    std::string Target() const { return scratch_ / "target"; }

    bool Load(const std::vector<Member>& members) { return LoadBytes(BuildArchive(members).bytes); }
    bool LoadBytes(const std::string& bytes) {
        WriteFile(scratch_ / "in.zip", bytes);
        return directory_.Load(scratch_ / "in.zip") != 0;
    }

    const zip::ZipEntry& Entry(const std::string& name) const {
        for (const auto& e : directory_.Entries())
            if (e->name == name) return *e;
        throw std::runtime_error("no entry " + name);
    }

    // Every path under the scratch folder except the archive, relative.
    std::vector<std::string> Tree() const {
        std::vector<std::string> out;
        for (const auto& p : std::filesystem::recursive_directory_iterator(scratch_.path())) {
            const std::string rel = p.path().string().substr(scratch_.path().size() + 1);
            if (rel != "in.zip") out.push_back(rel);
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    TempDir scratch_;
    zip::ZipDirectory directory_;
};

}  // namespace kivo::test
