// Archives written here, with and without a password, are accepted and
// extracted byte for byte by other zip tools: Info-ZIP unzip, 7-Zip,
// Python's zipfile and libarchive's bsdtar.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "model/FileSet.h"
#include "zip/ZipWorker.h"
#include "zip/writer_support.h"

namespace kivo::zip {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Runs a shell command with a UTF-8 locale (so the tools show non-ASCII
// names as they are); returns its exit status and keeps its output.
int RunTool(const std::string& command, std::string& output, const std::string& logPath) {
    const std::string full = "LC_ALL=C.UTF-8 " + command + " >'" + logPath + "' 2>&1";
    const int status = std::system(full.c_str());
    output = ReadFile(logPath);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

const char* const kPythonTest =
    "import sys, zipfile\n"
    "z = zipfile.ZipFile(sys.argv[1])\n"
    "z.setpassword(sys.argv[2].encode() or None)\n"
    "sys.exit(0 if z.testzip() is None else 1)\n";

const char* const kPythonExtract =
    "import sys, zipfile\n"
    "z = zipfile.ZipFile(sys.argv[1])\n"
    "z.extractall(sys.argv[3], pwd=sys.argv[2].encode() or None)\n";

// Relative name (below the zipped folder's parent) -> content.
std::map<std::string, std::string> Sources() {
    return {
        {"Kivo/readme.txt", test::SampleText(150000)},
        {"Kivo/empty.txt", ""},
        {"Kivo/bin/noise.bin", test::NoiseBytes(100000)},
        {"Kivo/Gr\xc3\xbc\xc3\x9f" "e/na\xc3\xafve caf\xc3\xa9.txt", "non-ASCII name"},
        {"Kivo/sub/deeper/x.txt", test::SampleText(33000, 9)},
    };
}

class InteropWrite : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        for (const auto& [name, content] : sources_) WriteFile(dir_ / ("src/" + name), content);
        auto set = std::make_unique<FileSet>();
        auto entry = std::make_unique<SetEntry>();
        entry->path = dir_ / "src/Kivo";
        set->entries.push_back(std::move(entry));
        CancelFlag cancel{0};
        RunSink sink;
        ASSERT_EQ(ZipWorker(set.get(), ZipJob{archive_, GetParam()}, cancel, sink).end,
                  RunEnd::Done);
    }

    std::string Password() const { return GetParam(); }

    void ExpectCommandSucceeds(const std::string& command) {
        std::string output;
        EXPECT_EQ(RunTool(command, output, dir_ / "tool.log"), 0) << command << "\n" << output;
    }

    // Every source is in `folder` with its bytes, and nothing else is.
    void ExpectExtracted(const std::string& folder) {
        std::size_t files = 0;
        for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
            if (e.is_regular_file()) ++files;
        }
        EXPECT_EQ(files, sources_.size()) << folder;
        for (const auto& [name, content] : sources_) {
            const std::string path = folder + "/" + name;
            EXPECT_TRUE(std::filesystem::exists(path)) << path;
            EXPECT_TRUE(ReadFile(path) == content) << path;
        }
    }

    TempDir dir_;
    std::string archive_ = dir_ / "kivo.zip";
    const std::map<std::string, std::string> sources_ = Sources();
};

TEST_P(InteropWrite, InfoZipUnzip) {
    ASSERT_TRUE(HaveTool("unzip")) << "unzip is missing; scripts/install-deps installs it";
    const std::string pw = Password().empty() ? "" : " -P '" + Password() + "'";
    ExpectCommandSucceeds("unzip -t" + pw + " '" + archive_ + "'");
    ExpectCommandSucceeds("unzip -q" + pw + " '" + archive_ + "' -d '" + dir_ / "unzip'");
    ExpectExtracted(dir_ / "unzip");
}

TEST_P(InteropWrite, SevenZip) {
    ASSERT_TRUE(HaveTool("7zz")) << "7zz is missing; scripts/install-deps installs it";
    const std::string pw = " -p'" + Password() + "'";
    ExpectCommandSucceeds("7zz t -bd" + pw + " '" + archive_ + "'");
    ExpectCommandSucceeds("7zz x -bd -y" + pw + " -o'" + dir_ / "7z" + "' '" + archive_ + "'");
    ExpectExtracted(dir_ / "7z");
}

TEST_P(InteropWrite, PythonZipfile) {
    ASSERT_TRUE(HaveTool("python3")) << "python3 is missing; scripts/install-deps installs it";
    WriteFile(dir_ / "test.py", kPythonTest);
    WriteFile(dir_ / "extract.py", kPythonExtract);
    const std::string args = " '" + archive_ + "' '" + Password() + "'";
    ExpectCommandSucceeds("python3 '" + dir_ / "test.py'" + args);
    ExpectCommandSucceeds("python3 '" + dir_ / "extract.py'" + args + " '" + dir_ / "py'");
    ExpectExtracted(dir_ / "py");
}

TEST_P(InteropWrite, Libarchive) {
    ASSERT_TRUE(HaveTool("bsdtar")) << "bsdtar is missing; scripts/install-deps installs it";
    std::string listing;
    ASSERT_EQ(RunTool("bsdtar -tf '" + archive_ + "'", listing, dir_ / "tool.log"), 0) << listing;
    for (const auto& [name, content] : sources_) {
        EXPECT_NE(listing.find(name + "\n"), std::string::npos) << name << "\n" << listing;
    }
    std::filesystem::create_directories(dir_ / "bsdtar");
    const std::string pw = Password().empty() ? "" : " --passphrase '" + Password() + "'";
    ExpectCommandSucceeds("bsdtar -xf '" + archive_ + "'" + pw + " -C '" + dir_ / "bsdtar'");
    ExpectExtracted(dir_ / "bsdtar");
}

TEST(InteropWriteEncrypted, TwoRunsDifferInTheRandomHeaderBytesAndBothExtract) {
    TempDir dir;
    const std::string content = test::SampleText(50000);
    WriteFile(dir / "src/Kivo/same.txt", content);
    WriteFile(dir / "extract.py", kPythonExtract);
    auto set = std::make_unique<FileSet>();
    auto entry = std::make_unique<SetEntry>();
    entry->path = dir / "src/Kivo";
    set->entries.push_back(std::move(entry));
    const std::string password = "pw of both runs";
    std::string headers[2];
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        const std::string archive = dir / ("run" + std::to_string(run) + ".zip");
        CancelFlag cancel{0};
        RunSink sink;
        ASSERT_EQ(ZipWorker(set.get(), ZipJob{archive, password}, cancel, sink).end, RunEnd::Done);
        const auto parsed = test::ParseArchive(ReadFile(archive));
        ASSERT_EQ(parsed.locals.size(), 1u);
        headers[run] = test::Decrypted(parsed.locals[0].data, password).substr(0, 12);
        EXPECT_TRUE(test::CheckBytesMatch(headers[run], test::ZlibCrc(content)));

        const std::string out = dir / ("out" + std::to_string(run));
        std::filesystem::create_directories(out);
        const std::string q = "'" + archive + "'";
        for (const std::string& command :
             {"unzip -q -P '" + password + "' " + q + " -d '" + out + "/unzip'",
              "7zz x -bd -y -p'" + password + "' -o'" + out + "/7z' " + q,
              "python3 '" + dir / "extract.py' " + q + " '" + password + "' '" + out + "/py'"}) {
            std::string output;
            EXPECT_EQ(RunTool(command, output, dir / "tool.log"), 0) << command << "\n" << output;
        }
        for (const char* tool : {"unzip", "7z", "py"}) {
            EXPECT_TRUE(ReadFile(out + "/" + tool + "/Kivo/same.txt") == content) << tool;
        }
    }
    EXPECT_NE(headers[0].substr(0, 10), headers[1].substr(0, 10));
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutPassword, InteropWrite,
                         ::testing::Values(std::string(), std::string("s3cret pw")),
                         [](const auto& info) { return info.param.empty() ? "Plain" : "Encrypted"; });

}  // namespace
}  // namespace kivo::zip
