// ops, bind, op-remove, run: the records the bind dialogs would make, the
// saved runs and what they record.
#include <regex>

#include "CliFixture.h"
#include "model/OperationList.h"
#include "model/SetList.h"
#include "platform/FileTime.h"

namespace kivo::clitest {
namespace {

class OperationCommands : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        WriteFile("docs/a.txt", "alpha");
        WriteFile("docs/sub/b.txt", "beta");
        WriteFile("secret", "  s3cret  \nsecond line\n");
        CliOk({"set-add", "Docs", At("docs")});
    }

    OperationList Stored() const {
        OperationList operations;
        EXPECT_TRUE(operations.LoadFromBytes(ReadBytes(BindingStore())));
        return operations;
    }
};

TEST_F(OperationCommands, BindMakesTheRecordsOfTheBindDialogs) {
    CliOk({"bind", "delete", "docs", "--passes", "257", "--remove-empty", "no"});
    CliOk({"bind", "copy", "DOCS", At("c") + "/", "--skip-missing"});
    CliOk({"bind", "move", "Docs", At("m"), "--overwrite", "if-older", "--remove-empty", "sub"});
    CliOk({"bind", "zip", "Docs", At("z"), "--prefix", "  bk  ", "--password-file", At("secret")});
    CliOk({"bind", "zip", "Docs", At("z2"), "--name", "Backup.ZIP"});

    std::vector<Operation> expected(5);
    expected[0].kind = OPERATION_DELETE;
    expected[0].erasePasses = 257;
    expected[0].flags = 1u << 1;
    expected[1].kind = OPERATION_COPY;
    expected[1].destination = At("c");
    expected[1].overwriteMode = OVERWRITE_ALWAYS;  // a new bind starts with "Always"
    expected[1].flags = 1;
    expected[2].kind = OPERATION_MOVE;
    expected[2].destination = At("m");
    expected[2].overwriteMode = OVERWRITE_IF_OLDER;
    expected[2].flags = 2u << 1;
    expected[3].kind = OPERATION_ZIP;
    expected[3].destination = At("z");
    expected[3].zipName = "bk";
    expected[3].zipNameByTime = 1;
    expected[3].zipPassword = "s3cret";
    expected[4].kind = OPERATION_ZIP;
    expected[4].destination = At("z2");
    expected[4].zipName = "Backup.ZIP";
    std::vector<const Operation*> pointers;
    for (Operation& operation : expected) {
        operation.setName = "Docs";  // the set's own spelling
        pointers.push_back(&operation);
    }
    const std::string written = ReadBytes(BindingStore());
    EXPECT_EQ(written, OperationStoreBytes(pointers));
    EXPECT_EQ(Stored().SaveToBytes(), written);

    for (const char* folder : {"c", "m", "z", "z2"}) EXPECT_TRUE(fs::is_directory(At(folder)));
    EXPECT_EQ(CliOk({"ops"}).out,
              "1\tDelete\tDocs\n2\tCopy\tDocs\n3\tMove\tDocs\n4\tZip\tDocs\n5\tZip\tDocs\n");
}

TEST_F(OperationCommands, ARunRecordsItsLastRunEachTimeItCompletes) {
    CliOk({"bind", "copy", "Docs", At("backup")});
    const FileTime before = CurrentFileTime();
    CliOk({"run", "1"});
    const FileTime first = Stored().operations.at(0)->lastRun;
    EXPECT_GE(first, before);
    EXPECT_LE(first, CurrentFileTime());
    EXPECT_EQ(ReadBytes(At("backup/docs/sub/b.txt")), "beta");

    WriteFile("docs/c.txt", "gamma");
    CliOk({"run", "1"});
    const OperationList after = Stored();
    EXPECT_GT(after.operations.at(0)->lastRun, first);  // the second run recorded too
    EXPECT_EQ(ReadBytes(At("backup/docs/c.txt")), "gamma");

    const std::string line = CliOk({"ops"}).out;
    EXPECT_EQ(line, "1\tCopy\t" + after.operations[0]->Label() + "\n");
    EXPECT_TRUE(std::regex_match(line, std::regex("1\tCopy\tDocs \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\n")))
        << line;
}

TEST_F(OperationCommands, AFailedOrImpossibleRunRecordsNothing) {
    CliOk({"bind", "copy", "Docs", At("backup"), "--overwrite", "always"});
    CliOk({"bind", "copy", "Docs", At("later")});
    WriteFile("backup/docs", "in the way");
    const std::string before = ReadBytes(BindingStore());
    CliResult result = Cli({"run", "1"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.rfind("Error create file:\n" + At("backup/docs/"), 0), 0u) << result.err;
    EXPECT_EQ(ReadBytes(BindingStore()), before);

    // The set is gone from under a saved operation (an older store, or the
    // desktop program's set list edited meanwhile).
    SetList none;
    ASSERT_TRUE(none.Save(SetStore()));
    result = Cli({"run", "2"});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("\"Docs\""), std::string::npos) << result.err;
    EXPECT_EQ(ReadBytes(BindingStore()), before);
    EXPECT_FALSE(fs::exists(At("later/docs")));
}

TEST_F(OperationCommands, SavedZipRunsUseTheOutputPathRule) {
    CliOk({"bind", "zip", "Docs", At("z"), "--name", "Backup.ZIP"});
    CliOk({"bind", "zip", "Docs", At("z"), "--name", "Backup"});
    CliOk({"bind", "zip", "Docs", At("z"), "--prefix", "bk", "--password-stdin"},
          CliOptions{"pw\n", {}, ""});
    for (const char* n : {"1", "2", "3"}) CliOk({"run", n});
    EXPECT_TRUE(fs::exists(At("z/Backup.ZIP")));
    EXPECT_TRUE(fs::exists(At("z/Backup.zip")));
    std::vector<std::string> dated;
    for (const auto& item : fs::directory_iterator(At("z"))) {
        const std::string name = item.path().filename().string();
        if (name.rfind("bk", 0) == 0) dated.push_back(name);
    }
    ASSERT_EQ(dated.size(), 1u);
    EXPECT_TRUE(std::regex_match(dated[0], std::regex("bk\\d{12}\\.zip"))) << dated[0];
    // The saved password reached the archive.
    const std::vector<std::string> lines = Lines(CliOk({"list", At("z/" + dated[0])}).out);
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) {
        if (line.find("/\t") == std::string::npos) {
            EXPECT_EQ(Fields(line).back(), "zipcrypto") << line;
        }
    }
}

TEST_F(OperationCommands, SavedZipWithAesRunsWithAes) {
    CliOk({"bind", "zip", "Docs", At("z"), "--name", "Aes", "--aes", "--password-stdin"},
          CliOptions{"pw\n", {}, ""});
    EXPECT_EQ(Cli({"bind", "zip", "Docs", At("z"), "--name", "NoPw", "--aes"}).status, 2);
    CliOk({"run", "1"});
    for (const std::string& line : Lines(CliOk({"list", At("z/Aes.zip")}).out)) {
        if (line.find("/\t") == std::string::npos) {
            EXPECT_EQ(Fields(line).back(), "aes-256") << line;
        }
    }
    EXPECT_EQ(CliOk({"test", At("z/Aes.zip"), "--password-stdin"}, CliOptions{"pw\n", {}, ""}).out,
              "");
}

TEST_F(OperationCommands, SavedDeleteAndMoveRunWithTheirStoredModes) {
    CliOk({"bind", "delete", "Docs", "--remove-empty", "no"});
    CliOk({"run", "1"});
    EXPECT_FALSE(fs::exists(At("docs/a.txt")));
    EXPECT_TRUE(fs::is_directory(At("docs/sub")));

    WriteFile("docs/sub/b.txt", "beta");
    CliOk({"bind", "move", "Docs", At("moved"), "--remove-empty", "sub"});
    CliOk({"run", "2"});
    EXPECT_EQ(ReadBytes(At("moved/docs/sub/b.txt")), "beta");
    EXPECT_TRUE(fs::is_directory(At("docs")));
    EXPECT_FALSE(fs::exists(At("docs/sub")));
}

TEST_F(OperationCommands, OpRemoveTakesOutOneOperation) {
    CliOk({"bind", "copy", "Docs", At("one")});
    CliOk({"bind", "delete", "Docs"});
    CliOk({"bind", "move", "Docs", At("three")});
    OperationList kept = Stored();
    kept.operations.erase(kept.operations.begin() + 1);
    CliOk({"op-remove", "2"});
    EXPECT_EQ(ReadBytes(BindingStore()), kept.SaveToBytes());
    EXPECT_EQ(CliOk({"ops"}).out, "1\tCopy\tDocs\n2\tMove\tDocs\n");
}

// A cron line names its operation by kind and set, so removing rows above
// it in the desktop program cannot make it run another operation.
TEST_F(OperationCommands, KindAndSetNameTheFirstMatchingOperation) {
    WriteFile("music/m.txt", "mu");
    CliOk({"set-add", "Music", At("music")});
    CliOk({"bind", "delete", "Docs"});
    CliOk({"bind", "copy", "Music", At("wrong")});
    CliOk({"bind", "copy", "Docs", At("backup")});
    CliOk({"bind", "copy", "Docs", At("second")});
    CliOk({"op-remove", "1"});
    CliOk({"op-remove", "COPY:music"});
    EXPECT_EQ(CliOk({"ops", "copy:DOCS"}).out, "1\tCopy\tDocs\n");

    CliOk({"run", "copy:Docs"});
    EXPECT_EQ(ReadBytes(At("backup/docs/a.txt")), "alpha");
    EXPECT_FALSE(fs::exists(At("second/docs")));
    const OperationList after = Stored();
    ASSERT_EQ(after.operations.size(), 2u);
    EXPECT_NE(after.operations[0]->lastRun, FileTime{0});
    EXPECT_EQ(after.operations[1]->lastRun, FileTime{0});

    const std::string before = ReadBytes(BindingStore());
    const struct {
        const char* typed;
        const char* said;
    } refused[] = {
        {"zip:Docs", "no saved zip operation on the set \"Docs\""},
        {"copy:Nothing", "no saved copy operation on the set \"Nothing\""},
        {"erase:Docs", "\"erase:Docs\" is not N or KIND:SET"},
        {"copy:", "\"copy:\" is not N or KIND:SET"},
    };
    for (const auto& bad : refused) {
        const CliResult result = Cli({"op-remove", bad.typed});
        EXPECT_EQ(result.status, 2) << bad.typed;
        EXPECT_NE(result.err.find(bad.said), std::string::npos) << result.err;
    }
    EXPECT_EQ(ReadBytes(BindingStore()), before);
}

}  // namespace
}  // namespace kivo::clitest
