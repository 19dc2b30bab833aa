// Zip64 archives and archives behind a stub, as other tools write them,
// extract byte for byte. The suites named ...Slow hold the archives past
// the classic limits (a file over 4 GiB, more than 65,535 entries); they
// carry the ctest label "slow" and stay out of the everyday run.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "support/TempDir.h"
#include "zip/ExtractRun.h"
#include "zip/format/ZipDirectory.h"

namespace kivo::zip {
namespace {

namespace fs = std::filesystem;

int Shell(const std::string& command) { return std::system(command.c_str()); }

// The tools are installed with the project's dependencies; one missing is
// a broken install, not a reason to pass.
void RequireTools(std::initializer_list<const char*> names) {
    for (const char* name : names)
        ASSERT_EQ(Shell(std::string("command -v ") + name + " >/dev/null 2>&1"), 0)
            << name << " is not installed (scripts/install-deps installs it)";
}

// path relative to root -> content, for every regular file below root
// except those named in `skip`.
std::map<std::string, std::string> Files(const std::string& root,
                                         const std::string& skip = std::string()) {
    std::map<std::string, std::string> out;
    for (const auto& p : fs::recursive_directory_iterator(root)) {
        const std::string rel = p.path().string().substr(root.size() + 1);
        if (p.is_regular_file() && rel != skip) out[rel] = test::ReadFile(p.path().string());
    }
    return out;
}

// Loads and extracts every entry of `archive` into `target`.
void ExtractAll(const std::string& archive, const std::string& target) {
    ZipDirectory directory;
    ASSERT_NE(directory.Load(archive), 0) << archive;
    ExtractTask task;
    task.directory = &directory;
    for (const auto& e : directory.Entries()) task.pending.push_back(e.get());
    task.targetFolder = target;
    std::string message;
    ASSERT_TRUE(PrepareTargetFolder(task.targetFolder, message));
    RunSink sink;
    CancelFlag cancel{0};
    const RunResult result = RunExtraction(task, sink, cancel, nullptr);
    EXPECT_EQ(result.end, RunEnd::Done) << archive << ": " << result.errorText;
    EXPECT_TRUE(task.pending.empty()) << archive;
}

class InteropZip64Test : public ::testing::Test {
protected:
    void SetUp() override {
        RequireTools({"zip", "python3"});
        source_ = dir_ / "src";
        std::string text;
        for (int i = 0; i < 5000; ++i) text += "line " + std::to_string(i * 31 % 1009) + "\n";
        test::WriteFile(source_ + "/a.txt", text);
        test::WriteFile(source_ + "/sub/b.txt", "bravo");
        test::WriteFile(source_ + "/empty", "");
        test::WriteFile(dir_ / "stub", "#!/bin/sh\necho self-extracting\nexit 0\n" + std::string(3000, '#'));
    }
    std::string In(const std::string& name) const { return dir_ / name; }

    test::TempDir dir_;
    std::string source_;
};

TEST_F(InteropZip64Test, InfoZipFromStandardInputForcedZip64AndStubs) {
    const std::string text = test::ReadFile(source_ + "/a.txt");
    const std::string cd = "cd '" + source_ + "' && ";
    // From standard input: local sizes marked, real ones in Zip64 fields,
    // and a Zip64 end record beside real classic values.
    ASSERT_EQ(Shell("cat '" + source_ + "/a.txt' | zip -q '" + In("stdin.zip") + "' -"), 0);
    ASSERT_EQ(Shell(cd + "zip -q -r -fz '" + In("forced.zip") + "' ."), 0);
    ASSERT_EQ(Shell(cd + "zip -q -r '" + In("classic.zip") + "' ."), 0);
    for (const char* archive : {"stdin.zip", "classic.zip"})
        ASSERT_EQ(Shell("cat '" + In("stub") + "' '" + In(archive) + "' > '" + In(std::string("sfx-") + archive) + "'"), 0);

    ExtractAll(In("stdin.zip"), In("out-stdin"));
    EXPECT_EQ(Files(In("out-stdin")), (std::map<std::string, std::string>{{"-", text}}));
    ExtractAll(In("sfx-stdin.zip"), In("out-sfx-stdin"));
    EXPECT_EQ(Files(In("out-sfx-stdin")), (std::map<std::string, std::string>{{"-", text}}));
    for (const char* archive : {"forced.zip", "classic.zip", "sfx-classic.zip"}) {
        ExtractAll(In(archive), In(std::string("out-") + archive));
        EXPECT_EQ(Files(In(std::string("out-") + archive)), Files(source_)) << archive;
    }
}

// Python writes a Zip64 local field when told the entry may grow; a folder
// marked only by the MS-DOS directory attribute becomes a folder.
TEST_F(InteropZip64Test, PythonForcedZip64AndDosAttributeFolder) {
    const std::string script =
        "import sys, zipfile\n"
        "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
        "    with z.open('a.txt', 'w', force_zip64=True) as f:\n"
        "        f.write(open(sys.argv[2], 'rb').read())\n"
        "    d = zipfile.ZipInfo('def')\n"
        "    d.create_system = 0\n"
        "    d.external_attr = 0x10\n"
        "    z.writestr(d, b'')\n"
        "    z.writestr('def/foo', b'foo')\n";
    test::WriteFile(In("make.py"), script);
    ASSERT_EQ(Shell("python3 '" + In("make.py") + "' '" + In("py.zip") + "' '" + source_ + "/a.txt'"), 0);
    ExtractAll(In("py.zip"), In("out"));
    EXPECT_TRUE(fs::is_directory(In("out/def")));
    EXPECT_EQ(Files(In("out")),
              (std::map<std::string, std::string>{{"a.txt", test::ReadFile(source_ + "/a.txt")},
                                                  {"def/foo", "foo"}}));
}

// A sparse file just over 4 GiB with non-zero bytes at its start, across
// the 4 GiB boundary and at its end, beside 70,000 small files.
class InteropZip64Slow : public ::testing::Test {
protected:
    static constexpr std::uint64_t kBigSize = (4ull << 30) + (1u << 20);
    static constexpr int kSmallFiles = 70000;

    void SetUp() override {
        RequireTools({"zip", "python3", "7zz"});
        // Each extraction writes the large file out in full.
        const fs::space_info space = fs::space(dir_.path());
        ASSERT_GE(space.available, 3 * kBigSize) << "not enough free disk space in " << dir_.path();
        source_ = dir_ / "src";
        fs::create_directories(source_);
        const int fd = ::open((source_ + "/big.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kBigSize)), 0);
        for (const std::uint64_t at : {std::uint64_t{0}, std::uint64_t{(4ull << 30) - 5}, std::uint64_t{kBigSize - 7}})
            ASSERT_EQ(::pwrite(fd, "marked!", 7, static_cast<off_t>(at)), 7);
        ASSERT_EQ(::close(fd), 0);
        test::WriteFile(dir_ / "make.py",
                        "import os, sys\n"
                        "for i in range(" + std::to_string(kSmallFiles) + "):\n"
                        "    d = os.path.join(sys.argv[1], 'many', 'd%02d' % (i % 40))\n"
                        "    os.makedirs(d, exist_ok=True)\n"
                        "    open(os.path.join(d, 'f%05d.txt' % i), 'w').write('small %d\\n' % i)\n");
        ASSERT_EQ(Shell("python3 '" + (dir_ / "make.py") + "' '" + source_ + "'"), 0);
    }

    // Extracts, compares every file with the source and removes the copy.
    void ExpectExact(const std::string& archive) {
        const std::string target = dir_ / "out";
        ExtractAll(archive, target);
        EXPECT_EQ(Shell("cmp '" + source_ + "/big.bin' '" + target + "/big.bin'"), 0) << archive;
        EXPECT_EQ(Files(target, "big.bin"), Files(source_, "big.bin")) << archive;
        fs::remove_all(target);
    }

    test::TempDir dir_;
    std::string source_;
};

TEST_F(InteropZip64Slow, LargeFileAndManyEntriesFromPythonSevenZipAndInfoZip) {
    const std::string cd = "cd '" + source_ + "' && ";
    test::WriteFile(dir_ / "zipdir.py",
                    "import os, sys, zipfile\n"
                    "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
                    "    for root, dirs, files in os.walk('.'):\n"
                    "        for f in sorted(files):\n"
                    "            z.write(os.path.join(root, f))\n");
    ASSERT_EQ(Shell(cd + "python3 '" + (dir_ / "zipdir.py") + "' '" + (dir_ / "py.zip") + "'"), 0);
    ExpectExact(dir_ / "py.zip");
    fs::remove(dir_ / "py.zip");

    ASSERT_EQ(Shell(cd + "7zz a -tzip -bd -bso0 -bsp0 '" + (dir_ / "7z.zip") + "' ."), 0);
    ExpectExact(dir_ / "7z.zip");
    fs::remove(dir_ / "7z.zip");

    // Streamed from standard input, the large file alone.
    ASSERT_EQ(Shell(cd + "cat big.bin | zip -q '" + (dir_ / "stdin-big.zip") + "' -"), 0);
    {
        ZipDirectory directory;
        ASSERT_NE(directory.Load(dir_ / "stdin-big.zip"), 0);
        ASSERT_EQ(directory.Entries().size(), 1u);
        EXPECT_EQ(directory.Entries()[0]->uncompressedSize, kBigSize);
        // Extracted under its name "-"; compared as big.bin.
        const std::string target = dir_ / "out";
        ExtractAll(dir_ / "stdin-big.zip", target);
        EXPECT_EQ(Shell("cmp '" + source_ + "/big.bin' '" + target + "/-'"), 0);
        fs::remove_all(target);
    }
}

}  // namespace
}  // namespace kivo::zip
