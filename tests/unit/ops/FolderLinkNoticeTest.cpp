// Delete and Move follow no folder link below a set folder; what they leave
// there must be said, once for each link.
#include <gtest/gtest.h>

#include "model/StringTable.h"
#include "ops/CopyWorker.h"
#include "ops/DeleteWorker.h"
#include "ops/MoveWorker.h"
#include "ops/OpsTestSupport.h"

namespace kivo::test {
namespace {

enum class Kind { Delete, Move, Copy };

RunResult RunKind(Kind kind, const FileSet& set, const std::string& out, RecordingSink& sink) {
    CancelFlag cancel{0};
    switch (kind) {
        case Kind::Delete: {
            DeleteOptions options;
            options.removeEmptyMode = 0;
            return DeleteWorker(&set, options, cancel, sink);
        }
        case Kind::Move: {
            MoveOptions options;
            options.destinationFolder = out;
            options.removeEmptyMode = 0;
            return MoveWorker(&set, options, cancel, sink);
        }
        case Kind::Copy: break;
    }
    CopyOptions options;
    options.destinationFolder = out;
    return CopyWorker(&set, options, cancel, sink);
}

TEST(FolderLinkNotice, EachPassedLinkIsToldOncePerRun) {
    struct Case {
        const char* what;
        Kind kind;
        int includeSubfolders;
        bool twice;  // the set names its folder twice
        std::vector<std::string> expected;  // link names below the set folder
    };
    const Case cases[] = {
        {"delete", Kind::Delete, 1, false, {"sub/linked"}},
        {"delete, folder listed twice", Kind::Delete, 1, true, {"sub/linked"}},
        {"move", Kind::Move, 1, false, {"sub/linked"}},
        // Not entered were it a folder: nothing below it was the set's.
        {"delete without sub-folders", Kind::Delete, 0, false, {}},
        // Copy follows the link and copies what lies below it.
        {"copy", Kind::Copy, 1, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string set = dir / "set", outside = dir / "outside", out = dir / "out";
        WriteFile(outside + "/kept.txt", "kept");
        WriteFile(set + "/own.txt", "own");
        WriteFile(set + "/sub/deep.txt", "deep");
        std::filesystem::create_directory_symlink(outside, set + "/sub/linked");
        std::filesystem::create_directory_symlink(outside, set + "/.hidden-link");
        std::filesystem::create_symlink(outside + "/kept.txt", set + "/file-link");
        std::vector<std::string> paths{set};
        if (c.twice) paths.push_back(set);
        auto fileSet = MakeSet(paths, c.includeSubfolders);

        RecordingSink sink;
        const RunResult result = RunKind(c.kind, *fileSet, out, sink);
        EXPECT_EQ(result.end, RunEnd::Done) << result.errorText;
        std::vector<std::string> expected;
        for (const std::string& name : c.expected)
            expected.push_back(FormatText(IDS_NOTICE_LINK_NOT_FOLLOWED, set + "/" + name));
        EXPECT_EQ(sink.notices, expected);
        EXPECT_EQ(ReadFile(outside + "/kept.txt"), "kept");
        EXPECT_TRUE(Exists(set + "/sub/linked"));
    }
}

}  // namespace
}  // namespace kivo::test
