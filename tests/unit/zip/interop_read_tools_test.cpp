// Archives made by other tools load and extract to the original bytes:
// Info-ZIP zip, 7-Zip and Python's zipfile, including encrypted entries and
// entries that carry their sizes in data descriptors.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "support/TempDir.h"
#include "zip/ExtractRun.h"
#include "zip/format/ZipDirectory.h"

namespace kivo::zip {
namespace {

namespace fs = std::filesystem;

bool HaveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

int Shell(const std::string& command) { return std::system(command.c_str()); }

// path relative to the root -> content, for every file below root.
std::map<std::string, std::string> Files(const std::string& root) {
    std::map<std::string, std::string> out;
    for (const auto& p : fs::recursive_directory_iterator(root))
        if (p.is_regular_file())
            out[p.path().string().substr(root.size() + 1)] = test::ReadFile(p.path().string());
    return out;
}

class InteropReadTest : public ::testing::Test {
protected:
    void SetUp() override {
        source_ = dir_ / "src";
        std::string text;
        for (int i = 0; i < 20000; ++i) text += "row " + std::to_string(i % 977) + " of the table\n";
        std::string binary(70000, '\0');
        std::uint32_t x = 12345;
        for (char& c : binary) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
        test::WriteFile(source_ + "/a.txt", text);
        test::WriteFile(source_ + "/bin.dat", binary);
        test::WriteFile(source_ + "/empty.txt", "");
        test::WriteFile(source_ + "/sub/deep/c.txt", "deep file");
        test::WriteFile(source_ + "/sub/\xC3\xBC-name.txt", "umlaut");
    }

    // Loads `archive`, extracts every entry and compares with the source.
    void ExpectRoundTrip(const std::string& archive, const std::string& password = "") {
        ZipDirectory directory;
        ASSERT_NE(directory.Load(archive), 0) << archive;
        const std::string target = dir_ / ("out-" + fs::path(archive).stem().string());
        ExtractTask task;
        task.directory = &directory;
        for (const auto& e : directory.Entries()) task.pending.push_back(e.get());
        task.targetFolder = target;
        task.password = password;
        std::string message;
        ASSERT_TRUE(PrepareTargetFolder(task.targetFolder, message));
        RunSink sink;
        CancelFlag cancel{0};
        const RunResult result = RunExtraction(task, sink, cancel, nullptr);
        EXPECT_EQ(result.end, RunEnd::Done) << archive << ": " << result.errorText;
        EXPECT_EQ(Files(target), Files(source_)) << archive;
    }

    // Runs a Python snippet with the source folder as the working folder.
    void Python(const std::string& script, const std::string& redirect = "") {
        const std::string file = dir_ / "make.py";
        test::WriteFile(file, script);
        ASSERT_EQ(Shell("cd '" + source_ + "' && python3 '" + file + "'" + redirect), 0);
    }

    test::TempDir dir_;
    std::string source_;
};

TEST_F(InteropReadTest, InfoZipDeflatedStoredAndEncrypted) {
    ASSERT_TRUE(HaveTool("zip")) << "zip is missing; scripts/install-deps installs it";
    const std::string cd = "cd '" + source_ + "' && zip -q -r ";
    ASSERT_EQ(Shell(cd + "'" + (dir_ / "deflated.zip") + "' ."), 0);
    ASSERT_EQ(Shell(cd + "-0 '" + (dir_ / "stored.zip") + "' ."), 0);
    ASSERT_EQ(Shell(cd + "-P 'pass word' '" + (dir_ / "encrypted.zip") + "' ."), 0);
    // Written to a pipe, zip streams and uses data descriptors.
    ASSERT_EQ(Shell(cd + "-P secret - . | cat > '" + (dir_ / "streamed.zip") + "'"), 0);
    ExpectRoundTrip(dir_ / "deflated.zip");
    ExpectRoundTrip(dir_ / "stored.zip");
    ExpectRoundTrip(dir_ / "encrypted.zip", "pass word");
    ExpectRoundTrip(dir_ / "streamed.zip", "secret");
}

TEST_F(InteropReadTest, SevenZipWithZipCrypto) {
    ASSERT_TRUE(HaveTool("7zz")) << "7zz is missing; scripts/install-deps installs it";
    const std::string cd = "cd '" + source_ + "' && 7zz a -tzip -bd -bso0 -bsp0 ";
    ASSERT_EQ(Shell(cd + "-mem=ZipCrypto -pTopSecret '" + (dir_ / "seven-crypt.zip") + "' ."), 0);
    ASSERT_EQ(Shell(cd + "-mx=0 '" + (dir_ / "seven-stored.zip") + "' ."), 0);
    ExpectRoundTrip(dir_ / "seven-crypt.zip", "TopSecret");
    ExpectRoundTrip(dir_ / "seven-stored.zip");

    ZipDirectory directory;
    ASSERT_NE(directory.Load(dir_ / "seven-crypt.zip"), 0);
    ExtractTask task;
    task.directory = &directory;
    for (const auto& e : directory.Entries())
        if (!e->isFolder) task.pending.push_back(e.get());
    task.targetFolder = dir_ / "wrong";
    task.password = "NotTheSecret";
    RunSink sink;
    CancelFlag cancel{0};
    EXPECT_EQ(RunExtraction(task, sink, cancel, nullptr).end, RunEnd::Failed);
}

TEST_F(InteropReadTest, PythonZipfileStoredDeflatedAndStreamed) {
    ASSERT_TRUE(HaveTool("python3")) << "python3 is missing; scripts/install-deps installs it";
    const std::string walk =
        "import os, sys, zipfile\n"
        "def add(z):\n"
        "    for root, dirs, files in os.walk('.'):\n"
        "        for f in sorted(files):\n"
        "            z.write(os.path.join(root, f))\n";
    Python(walk + "with zipfile.ZipFile('" + (dir_ / "py-stored.zip") +
           "', 'w', zipfile.ZIP_STORED) as z: add(z)\n");
    Python(walk + "with zipfile.ZipFile('" + (dir_ / "py-deflated.zip") +
           "', 'w', zipfile.ZIP_DEFLATED) as z: add(z)\n");
    // stdout through a pipe cannot seek: every entry gets a data descriptor.
    Python(walk +
               "with zipfile.ZipFile(sys.stdout.buffer, 'w', zipfile.ZIP_DEFLATED) as z: add(z)\n",
           " | cat > '" + (dir_ / "py-streamed.zip") + "'");
    ExpectRoundTrip(dir_ / "py-stored.zip");
    ExpectRoundTrip(dir_ / "py-deflated.zip");
    ExpectRoundTrip(dir_ / "py-streamed.zip");

    // The streamed archive really does rely on descriptors.
    ZipDirectory directory;
    ASSERT_NE(directory.Load(dir_ / "py-streamed.zip"), 0);
    for (const auto& e : directory.Entries())
        if (!e->isFolder) {
            EXPECT_NE(e->flags & 0x0008, 0) << e->name;
        }
}

}  // namespace
}  // namespace kivo::zip
