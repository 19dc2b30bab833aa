// A sparse file of exactly 4,294,967,295 bytes zipped with the default
// limits: both headers carry the Zip64 marker and field, and Info-ZIP
// unzip and Python's zipfile test the archive clean. Minutes of work:
// labelled slow.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "model/FileSet.h"
#include "zip/ZipWorker.h"
#include "zip/writer_support.h"

namespace kivo::zip {
namespace {

constexpr std::uint64_t kSize = 0xFFFFFFFFull;

int Tool(const std::string& command, const std::string& log) {
    const int status = std::system((command + " >'" + log + "' 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(WriterZip64EdgeSlow, AllOnesSizedFileReadsBackInOtherTools) {
    test::TempDir dir;
    const std::string big = dir / "src/edge/big.bin";
    std::filesystem::create_directories(dir / "src/edge");
    {
        std::ofstream f(big, std::ios::binary);
        f << "start";
    }
    std::filesystem::resize_file(big, kSize);
    {
        std::fstream f(big, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(kSize - 4));
        f << "end!";
    }
    auto set = std::make_unique<FileSet>();
    auto entry = std::make_unique<SetEntry>();
    entry->path = dir / "src/edge";
    set->entries.push_back(std::move(entry));
    const std::string archive = dir / "edge.zip";
    CancelFlag cancel{0};
    RunSink sink;
    ASSERT_EQ(ZipWorker(set.get(), ZipJob{archive, ""}, cancel, sink).end, RunEnd::Done);

    const std::string head = [&] {
        std::ifstream f(archive, std::ios::binary);
        std::string bytes(30 + 64, '\0');
        f.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return bytes;
    }();
    EXPECT_EQ(test::Le32(head, 22), 0xFFFFFFFFu);
    const std::string name = "edge/big.bin";
    const auto localValues =
        test::Zip64Values(head.substr(30 + name.size(), test::Le16(head, 28)));
    ASSERT_EQ(localValues.size(), 2u);
    EXPECT_EQ(localValues[0], kSize);

    const std::string log = dir / "tool.log";
    EXPECT_EQ(Tool("unzip -t '" + archive + "'", log), 0) << test::ReadFile(log);
    test::WriteFile(dir / "check.py",
                    "import sys, zipfile\n"
                    "z = zipfile.ZipFile(sys.argv[1])\n"
                    "i = z.getinfo('edge/big.bin')\n"
                    "assert i.file_size == 0xFFFFFFFF, i.file_size\n"
                    "sys.exit(0 if z.testzip() is None else 1)\n");
    EXPECT_EQ(Tool("python3 '" + dir / "check.py" + "' '" + archive + "'", log), 0)
        << test::ReadFile(log);
}

}  // namespace
}  // namespace kivo::zip
