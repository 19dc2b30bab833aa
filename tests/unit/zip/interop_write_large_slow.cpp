// A Kivo archive past both classic limits, a sparse 5 GiB file and 70,000
// small files, passes the integrity tests of unzip, 7-Zip, Python's zipfile
// and libarchive. Minutes of work: built as a program of its own, labelled
// slow.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "model/FileSet.h"
#include "zip/ZipWorker.h"
#include "zip/writer_support.h"

namespace kivo::zip {
namespace {

using test::ReadFile;
using test::TempDir;

constexpr std::uint64_t kBigSize = 5ull << 30;
constexpr int kSmallFiles = 70000;
// The small files and the archive; the big file is sparse.
constexpr std::uintmax_t kDiskNeeded = 2ull << 30;

int RunTool(const std::string& command, const std::string& log) {
    const int status = std::system((command + " >'" + log + "' 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Poke(std::fstream& f, std::uint64_t at, const std::string& text) {
    f.seekp(static_cast<std::streamoff>(at));
    f << text;
}

TEST(InteropWriteLarge, FiveGibibyteFileAndSeventyThousandFiles) {
    TempDir dir;
    const auto space = std::filesystem::space(dir.path());
    if (space.available < kDiskNeeded) {
        GTEST_SKIP() << "needs " << (kDiskNeeded >> 20) << " MiB free in " << dir.path()
                     << ", has " << (space.available >> 20) << " MiB";
    }
    const std::string root = dir / "src/Large";
    std::filesystem::create_directories(root + "/small");
    const std::string big = root + "/big.img";
    {
        std::ofstream(big, std::ios::binary).put('\0');
        std::filesystem::resize_file(big, kBigSize);
        std::fstream f(big, std::ios::in | std::ios::out | std::ios::binary);
        // Marks at the start, across 4 GiB and at the end, so a reader that
        // lost track of an offset fails the CRC.
        Poke(f, 0, "head");
        Poke(f, (4ull << 30) - 2, "4GiB");
        Poke(f, kBigSize - 4, "tail");
    }
    for (int i = 0; i < kSmallFiles; ++i) {
        const std::string folder = root + "/small/" + std::to_string(i / 1000);
        if (i % 1000 == 0) std::filesystem::create_directories(folder);
        std::ofstream(folder + "/" + std::to_string(i) + ".txt") << "small file " << i << "\n";
    }

    auto set = std::make_unique<FileSet>();
    auto entry = std::make_unique<SetEntry>();
    entry->path = root;
    entry->includeSubfolders = 1;
    entry->filterMode = 1;
    set->entries.push_back(std::move(entry));
    const std::string archive = dir / "large.zip";
    CancelFlag cancel{0};
    RunSink sink;
    ASSERT_EQ(ZipWorker(set.get(), ZipJob{archive, ""}, cancel, sink).end, RunEnd::Done);

    const auto parsed = test::ParseArchive(ReadFile(archive));
    ASSERT_EQ(parsed.centrals.size(), kSmallFiles + 1u);
    ASSERT_TRUE(parsed.zip64.present);
    EXPECT_EQ(parsed.zip64.totalEntries, kSmallFiles + 1u);
    EXPECT_EQ(parsed.end.totalEntries, 0xFFFF);
    bool sawBig = false;
    for (std::size_t i = 0; i < parsed.locals.size(); ++i) {
        if (parsed.locals[i].name != "Large/big.img") continue;
        sawBig = true;
        EXPECT_EQ(parsed.locals[i].uncompressedSize, 0xFFFFFFFFu);
        EXPECT_EQ(test::Zip64Values(parsed.locals[i].extra).at(0), kBigSize);
        EXPECT_EQ(test::Zip64Values(parsed.centrals[i].extra).at(0), kBigSize);
    }
    EXPECT_TRUE(sawBig);

    test::WriteFile(dir / "check.py",
                    "import sys, zipfile\n"
                    "z = zipfile.ZipFile(sys.argv[1])\n"
                    "infos = z.infolist()\n"
                    "big = z.getinfo('Large/big.img')\n"
                    "ok = len(infos) == int(sys.argv[2]) and big.file_size == int(sys.argv[3])\n"
                    "sys.exit(0 if ok and z.testzip() is None else 1)\n");
    const std::string q = " '" + archive + "'";
    const std::string log = dir / "tool.log";
    for (const std::string& command :
         {"unzip -tq" + q, "7zz t -bd" + q,
          "python3 '" + dir / "check.py'" + q + " " + std::to_string(kSmallFiles + 1) + " " +
              std::to_string(kBigSize),
          "test \"$(bsdtar -tf" + q + " | wc -l)\" = " + std::to_string(kSmallFiles + 1)}) {
        EXPECT_EQ(RunTool(command, log), 0) << command << "\n" << ReadFile(log);
    }
}

}  // namespace
}  // namespace kivo::zip
