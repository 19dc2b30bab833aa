// Delete and Move refuse a set that would take the program's own data
// folder or its stores with it, and change nothing when they do.
#include <gtest/gtest.h>

#include "model/StringTable.h"
#include "ops/DataFolderGuard.h"
#include "ops/DeleteWorker.h"
#include "ops/MoveWorker.h"
#include "ops/OpsTestSupport.h"
#include "platform/Paths.h"

namespace kivo::test {
namespace {

struct Entry {
    const char* path;  // below the scratch folder
    int includeSubfolders;
};

TEST(DataFolderGuard, SetsThatReachTheDataFolder) {
    struct Case {
        const char* what;
        const char* dataFolder;  // below the scratch folder
        std::vector<Entry> entries;
        bool holds;
    };
    const Case cases[] = {
        {"the data folder itself", "xdg/KALDORWORKS/kivo", {{"xdg/KALDORWORKS/kivo", 0}}, true},
        {"a folder above it, with sub-folders", "xdg/KALDORWORKS/kivo", {{"xdg", 1}}, true},
        {"a folder above it, without sub-folders", "xdg/KALDORWORKS/kivo", {{"xdg", 0}}, false},
        {"above it, past a dot folder the scan never enters", "home/.local/share/KALDORWORKS/kivo",
         {{"home", 1}},
         false},
        {"below the dot folder", "home/.local/share/KALDORWORKS/kivo", {{"home/.local/share", 1}}, true},
        {"a store named as a file", "xdg/KALDORWORKS/kivo", {{"other", 1}, {"xdg/KALDORWORKS/kivo/kivos.kvd", 0}},
         true},
        {"a link to a folder above it", "xdg/KALDORWORKS/kivo", {{"link-to-xdg", 1}}, true},
        {"a file beside the data folder", "xdg/KALDORWORKS/kivo", {{"xdg/KALDORWORKS/notes.txt", 0}}, false},
        {"an unrelated folder", "xdg/KALDORWORKS/kivo", {{"other", 1}}, false},
        {"a data folder that does not exist", "xdg/KALDORWORKS/missing", {{"xdg", 1}}, false},
        {"a folder whose name only begins like it", "xdg/KALDORWORKS/kivo", {{"xdg/KALDORWORKS/kiv", 1}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        for (const char* store : {"xdg/KALDORWORKS/kivo", "home/.local/share/KALDORWORKS/kivo"}) {
            WriteFile(dir / (std::string(store) + "/kivos.kvd"), "sets");
            WriteFile(dir / (std::string(store) + "/kvbind.kvb"), "operations");
        }
        WriteFile(dir / "xdg/KALDORWORKS/notes.txt", "notes");
        WriteFile(dir / "xdg/KALDORWORKS/kiv/x.txt", "x");
        WriteFile(dir / "other/o.txt", "o");
        std::filesystem::create_directory_symlink(dir / "xdg", dir / "link-to-xdg");
        FileSet set;
        for (const Entry& e : c.entries) {
            auto entry = std::make_unique<SetEntry>();
            entry->path = dir / e.path;
            entry->includeSubfolders = e.includeSubfolders;
            set.entries.push_back(std::move(entry));
        }
        EXPECT_EQ(SetHoldsDataFolder(set, dir / c.dataFolder), c.holds);
    }
    FileSet set;
    EXPECT_FALSE(SetHoldsDataFolder(set, std::string()));
}

TEST(DataFolderGuard, RefusedDeleteAndMoveChangeNothing) {
    for (const bool move : {false, true}) {
        SCOPED_TRACE(move ? "move" : "delete");
        TempDir dir;
        const std::string data = dir / "tree/KALDORWORKS/kivo";
        WriteFile(data + "/kivos.kvd", "sets");
        WriteFile(data + "/kvbind.kvb", "operations");
        WriteFile(dir / "first/a.txt", "a");
        WriteFile(dir / "tree/b.txt", "b");
        // The harmless entry comes first: a refusal must come before it too.
        auto set = MakeSet({dir / "first", dir / "tree"});
        CancelFlag cancel{0};
        RecordingSink sink;
        RunResult result;
        if (move) {
            MoveOptions options;
            options.destinationFolder = dir / "out";
            options.dataFolder = data;
            result = MoveWorker(set.get(), options, cancel, sink);
        } else {
            DeleteOptions options;
            options.passesText = "1";
            options.dataFolder = data;
            result = DeleteWorker(set.get(), options, cancel, sink);
        }
        EXPECT_EQ(result.end, RunEnd::Failed);
        EXPECT_EQ(result.errorText, FormatText(IDS_SET_HOLDS_DATA_FOLDER, data));
        EXPECT_EQ(ReadFile(dir / "first/a.txt"), "a");
        EXPECT_EQ(ReadFile(dir / "tree/b.txt"), "b");
        EXPECT_EQ(ReadFile(data + "/kivos.kvd"), "sets");
        EXPECT_EQ(ReadFile(data + "/kvbind.kvb"), "operations");
        EXPECT_FALSE(Exists(dir / "out"));
        // Without the data folder in it, the same run goes ahead.
        auto other = MakeSet({dir / "first"});
        DeleteOptions options;
        options.dataFolder = data;
        EXPECT_EQ(DeleteWorker(other.get(), options, cancel, sink).end, RunEnd::Done);
        EXPECT_FALSE(Exists(dir / "first/a.txt"));
    }
}

}  // namespace
}  // namespace kivo::test
