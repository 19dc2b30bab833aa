// Archives written with AES-256 (WinZip AE-2): the records as the format
// lays them out, read back by this program, by 7-Zip and by libarchive,
// and refused by all of them with a wrong password.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "model/FileSet.h"
#include "zip/ExtractRun.h"
#include "zip/ZipArchiveWriter.h"
#include "zip/ZipWorker.h"
#include "zip/format/ZipDirectory.h"
#include "zip/writer_support.h"

namespace kivo::zip {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

int Tool(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class AesArchive : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir_ / "src/Kivo/text.txt", text_);
        WriteFile(dir_ / "src/Kivo/empty.txt", "");
        WriteFile(dir_ / "src/Kivo/bin/noise.bin", noise_);
        auto set = std::make_unique<FileSet>();
        auto entry = std::make_unique<SetEntry>();
        entry->path = dir_ / "src/Kivo";
        set->entries.push_back(std::move(entry));
        CancelFlag cancel{0};
        RunSink sink;
        ZipJob job{archive_, password_};
        job.aes = true;
        ASSERT_EQ(ZipWorker(set.get(), job, cancel, sink).end, RunEnd::Done);
    }

    void ExpectExtracted(const std::string& folder) {
        EXPECT_TRUE(ReadFile(folder + "/Kivo/text.txt") == text_) << folder;
        EXPECT_TRUE(ReadFile(folder + "/Kivo/bin/noise.bin") == noise_) << folder;
        EXPECT_TRUE(std::filesystem::exists(folder + "/Kivo/empty.txt")) << folder;
        EXPECT_EQ(ReadFile(folder + "/Kivo/empty.txt"), "") << folder;
    }

    TempDir dir_;
    const std::string archive_ = dir_ / "aes.zip";
    const std::string password_ = "AES pass word";
    const std::string text_ = test::SampleText(200000);
    const std::string noise_ = test::NoiseBytes(70000);
};

TEST_F(AesArchive, RecordsCarryTheAesFieldAndNoCrc) {
    const auto parsed = test::ParseArchive(ReadFile(archive_));
    ASSERT_EQ(parsed.locals.size(), 3u);
    ASSERT_EQ(parsed.centrals.size(), 3u);
    // id 0x9901, 7 bytes: AE-2, "AE", strength 3, deflate.
    const std::string field("\x01\x99\x07\x00\x02\x00" "AE" "\x03\x08\x00", 11);
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& local = parsed.locals[i];
        const auto& central = parsed.centrals[i];
        SCOPED_TRACE(local.name);
        EXPECT_EQ(local.method, 99);
        EXPECT_EQ(central.method, 99);
        EXPECT_EQ(local.flags & 1, 1);
        EXPECT_EQ(central.flags & 1, 1);
        EXPECT_EQ(local.versionNeeded, 51);
        EXPECT_EQ(central.versionNeeded, 51);
        EXPECT_EQ(local.crc, 0u);
        EXPECT_EQ(central.crc, 0u);
        EXPECT_NE(local.extra.find(field), std::string::npos);
        EXPECT_NE(central.extra.find(field), std::string::npos);
        EXPECT_EQ(central.compressedSize, local.compressedSize);
        // Salt, verifier, at least the 2-byte empty deflate stream, code.
        EXPECT_GE(local.data.size(), 16u + 2u + 2u + 10u);
        const std::size_t size = local.name == "Kivo/text.txt"    ? text_.size()
                                 : local.name == "Kivo/empty.txt" ? 0
                                                                  : noise_.size();
        EXPECT_EQ(local.uncompressedSize, size);
    }
    // Each entry has its own random salt.
    EXPECT_NE(parsed.locals[0].data.substr(0, 16), parsed.locals[1].data.substr(0, 16));
}

TEST_F(AesArchive, ReadsBackAndRefusesAWrongPassword) {
    ZipDirectory directory;
    ASSERT_NE(directory.Load(archive_), 0);
    for (const std::string& password : {password_, std::string("wrong")}) {
        ExtractTask task;
        task.directory = &directory;
        for (const auto& e : directory.Entries()) {
            if (!e->isFolder) {
                EXPECT_EQ(e->encryption, EntryEncryption::Aes256) << e->name;
            }
            task.pending.push_back(e.get());
        }
        task.targetFolder = dir_ / ("out-" + password);
        task.password = password;
        std::string message;
        ASSERT_TRUE(PrepareTargetFolder(task.targetFolder, message));
        RunSink sink;
        CancelFlag cancel{0};
        const RunResult result = RunExtraction(task, sink, cancel, nullptr);
        if (password == password_) {
            EXPECT_EQ(result.end, RunEnd::Done) << result.errorText;
            ExpectExtracted(task.targetFolder);
        } else {
            EXPECT_EQ(result.end, RunEnd::Failed);
            EXPECT_NE(result.errorText.find("Incorrect password."), std::string::npos);
        }
    }
}

TEST_F(AesArchive, SevenZipAndBsdtarExtractItAndRefuseAWrongPassword) {
    ASSERT_EQ(Tool("7zz t -p'" + password_ + "' '" + archive_ + "'"), 0);
    ASSERT_EQ(Tool("7zz x -y -p'" + password_ + "' -o'" + dir_ / "7z" + "' '" + archive_ + "'"), 0);
    ExpectExtracted(dir_ / "7z");
    EXPECT_NE(Tool("7zz t -pwrong '" + archive_ + "'"), 0);

    std::filesystem::create_directories(dir_ / "bsdtar");
    ASSERT_EQ(Tool("bsdtar -xf '" + archive_ + "' --passphrase '" + password_ + "' -C '" +
                  dir_ / "bsdtar" + "'"),
              0);
    ExpectExtracted(dir_ / "bsdtar");
    std::filesystem::create_directories(dir_ / "bsdtar-wrong");
    EXPECT_NE(Tool("bsdtar -xf '" + archive_ + "' --passphrase wrong -C '" + dir_ / "bsdtar-wrong" +
                  "'"),
              0);
}

// The local header is written before the data's size is known: it takes a
// Zip64 field when the worst deflate result plus what encryption adds may
// not fit, and AES adds 28 bytes where traditional encryption adds 12.
TEST(AesWriterLimits, Zip64AllowsForTheAesOverhead) {
    TempDir dir;
    const std::string content = test::NoiseBytes(5000);
    WriteFile(dir / "src/n.bin", content);
    z_stream probe{};
    ASSERT_EQ(deflateInit2(&probe, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY),
              Z_OK);
    const std::uint64_t bound = deflateBound(&probe, content.size());
    deflateEnd(&probe);
    ZipLimits limits;
    limits.maxField32 = bound + 20;  // room for 12, not for 28
    for (const bool aes : {false, true}) {
        SCOPED_TRACE(aes);
        ItemList list;
        test::AddItem(list, dir / "src/n.bin", (dir / "src/").size());
        const std::string out = dir / (aes ? "aes.zip" : "zipcrypto.zip");
        ASSERT_EQ(ZipArchiveWriter(limits, 1).Build(list, "pw", 2, out, nullptr, aes), 1);
        const auto parsed = test::ParseArchive(ReadFile(out));
        ASSERT_EQ(parsed.locals.size(), 1u);
        EXPECT_EQ(parsed.locals[0].compressedSize == 0xFFFFFFFFu, aes);
        EXPECT_EQ(test::Zip64Values(parsed.locals[0].extra).empty(), !aes);
    }
}

}  // namespace
}  // namespace kivo::zip
