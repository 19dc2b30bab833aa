// A failed or cancelled build leaves no temporary file and the archive that
// was at the output path before stays exactly as it was.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/Attributes.h"
#include "platform/Faults.h"
#include "zip/ZipArchiveWriter.h"
#include "zip/writer_support.h"

namespace kivo::zip {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr const char* kOldArchive = "the archive of the previous run";

// Calls `onAdd` after every AddDone with the progress so far.
class ScriptedProgress : public ZipProgress {
public:
    std::function<bool(const ScriptedProgress&)> cancelWhen;
    std::function<void(const ScriptedProgress&)> onAdd;
    int IsCancelled() override { return cancelWhen && cancelWhen(*this) ? 1 : 0; }
    void AddDone(std::uint64_t bytes) override {
        ZipProgress::AddDone(bytes);
        if (onAdd) onAdd(*this);
    }
};

// Sources in dir/src, the archive at dir/out/backup.zip holding an older archive.
class WriterFailure : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir_ / "src/first.txt", test::SampleText(50000));
        WriteFile(dir_ / "src/second.bin", test::NoiseBytes(40000));
        WriteFile(dir_ / "src/third.txt", test::SampleText(3000, 3));
        WriteFile(out_, kOldArchive);
    }

    int Build(ZipProgress* progress = nullptr, const char* password = nullptr,
              ZipLimits limits = {},
              const std::vector<std::string>& names = {"first.txt", "second.bin", "third.txt"}) {
        ItemList list;
        test::AddItems(list, dir_ / "src", names);
        return ZipArchiveWriter(limits).Build(list, password, password ? 2 : 0, out_, progress);
    }

    void ExpectOldArchiveUntouched() {
        EXPECT_EQ(ReadFile(out_), kOldArchive);
        EXPECT_EQ(test::NamesIn(dir_ / "out"), std::vector<std::string>{"backup.zip"});
    }

    TempDir dir_;
    std::string out_ = dir_ / "out/backup.zip";
    faults::Guard guard_;
};

TEST_F(WriterFailure, UnreadableSourceInEitherPass) {
    struct Case {
        const char* what;
        faults::Call call;
        unsigned nth;
    };
    // second.bin is read in 32 KiB blocks: 2 reads and the end in the first
    // pass, so its 4th read is the first of the second pass.
    for (const Case c : {Case{"open", faults::Call::Open, 1}, Case{"first pass", faults::Call::Read, 1},
                         Case{"end of first pass", faults::Call::Read, 3},
                         Case{"second pass", faults::Call::Read, 4},
                         Case{"end of second pass", faults::Call::Read, 6}}) {
        SCOPED_TRACE(c.what);
        for (const char* password : {static_cast<const char*>(nullptr), "pw"}) {
            faults::Arm(c.call, EACCES, c.nth, 1, "second.bin");
            EXPECT_EQ(Build(nullptr, password), 0);
            EXPECT_EQ(faults::FiredCount(), 1u);
            faults::Reset();
            ExpectOldArchiveUntouched();
        }
    }
}

TEST_F(WriterFailure, EveryArchiveWriteCanFail) {
    // Fails the 1st, 2nd, ... write to the unnamed archive until a build
    // gets through without meeting the fault: each of those writes (headers,
    // data, the header rewrite, the directory, the end record) is covered.
    unsigned nth = 1;
    for (; nth < 200; ++nth) {
        faults::Reset();
        faults::Arm(faults::Call::Write, ENOSPC, nth, 1, "/backup.zip");
        const int built = Build();
        if (faults::FiredCount() == 0) {
            EXPECT_EQ(built, 1);
            break;
        }
        SCOPED_TRACE(nth);
        EXPECT_EQ(built, 0);
        ExpectOldArchiveUntouched();
    }
    EXPECT_GT(nth, 8u);  // three entries need well over eight writes
    EXPECT_LT(nth, 200u);
    EXPECT_NE(ReadFile(out_), kOldArchive);
}

TEST_F(WriterFailure, FlushPermissionsAndRenameFailures) {
    for (const auto call : {faults::Call::Flush, faults::Call::SetAttributes, faults::Call::Rename}) {
        faults::Arm(call, EIO, 1, 0);
        EXPECT_EQ(Build(), 0);
        EXPECT_GE(faults::FiredCount(), 1u);
        faults::Reset();
        ExpectOldArchiveUntouched();
    }
}

TEST_F(WriterFailure, FlushWithinALargeEntryCanFail) {
    // 3 MB that do not compress: the first flush to disk falls due after
    // 2 MiB of entry data, long before the archive is complete.
    WriteFile(dir_ / "src/large.bin", test::NoiseBytes(3000000));
    faults::Arm(faults::Call::Flush, EIO, 1, 1);
    ScriptedProgress progress;
    ItemList list;
    test::AddItems(list, dir_ / "src", {"large.bin", "third.txt"});
    // On one thread reading does not run ahead of writing.
    EXPECT_EQ(ZipArchiveWriter({}, 1).Build(list, nullptr, 0, out_, &progress), 0);
    EXPECT_EQ(faults::FiredCount(), 1u);
    EXPECT_GE(progress.Done(), 3000000u + 2097152u);
    EXPECT_LT(progress.Done(), 2u * 3000000u);
    ExpectOldArchiveUntouched();
}

TEST_F(WriterFailure, CancelInFirstAndSecondPass) {
    const std::uint64_t firstSize = 50000;
    const std::uint64_t total = 2 * (50000 + 40000 + 3000);
    struct Case {
        const char* what;
        std::function<bool(const ScriptedProgress&)> when;
        std::uint64_t stopsAt;  // bytes read when the build gives up
    };
    const std::vector<Case> cases = {
        {"first block", [](const ScriptedProgress& p) { return p.Done() > 0; }, 32768},
        {"second pass of the first file",
         [=](const ScriptedProgress& p) { return p.Done() > firstSize; }, firstSize + 32768},
        {"last file", [](const ScriptedProgress& p) { return p.Done() + 1000 > p.Total(); },
         total},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedProgress progress;
        progress.cancelWhen = c.when;
        EXPECT_EQ(Build(&progress, "pw"), 0);
        // Stopped at the first check after the block that met the condition.
        EXPECT_EQ(progress.Done(), c.stopsAt);
        ExpectOldArchiveUntouched();
    }
}

TEST_F(WriterFailure, FileChangedBetweenThePasses) {
    // The change happens right after the first block of the second pass of
    // first.txt was read.
    const std::string path = dir_ / "src/first.txt";
    struct Case {
        const char* what;
        std::function<void()> change;
    };
    const std::vector<Case> cases = {
        {"grown", [&] { std::ofstream(path, std::ios::app) << "more"; }},
        {"rewritten in place",
         [&] {
             std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(45000);
             f << "CHANGED";
         }},
        {"shortened", [&] { std::filesystem::resize_file(path, 40000); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(path, test::SampleText(50000));
        ScriptedProgress progress;
        bool changed = false;
        progress.onAdd = [&](const ScriptedProgress& p) {
            if (!changed && p.Done() > 50000) {
                c.change();
                changed = true;
            }
        };
        EXPECT_EQ(Build(&progress), 0);
        EXPECT_TRUE(changed);
        ExpectOldArchiveUntouched();
    }
}

TEST_F(WriterFailure, NoRandomBytesForAnEncryptionHeader) {
    faults::Arm(faults::Call::Random, EIO, 1, 0);
    EXPECT_EQ(Build(nullptr, "pw"), 0);
    EXPECT_EQ(faults::FiredCount(), 1u);
    ExpectOldArchiveUntouched();
    // Without a password nothing random is needed; the hidden name the
    // archive may pass through on its way over the old one does without.
    EXPECT_EQ(Build(), 1);
}

TEST_F(WriterFailure, UnreadableItemListWritesNoEntry) {
    // The list's backing file is an anonymous temporary file, so it is the
    // only read without a path.
    ItemList list;
    test::AddItems(list, dir_ / "src", {"first.txt"});
    faults::Arm(faults::Call::Read, EIO, 1, 1);
    ScriptedProgress progress;
    EXPECT_EQ(ZipArchiveWriter().Build(list, nullptr, 0, out_, &progress), 0);
    EXPECT_EQ(faults::FiredCount(), 1u);
    EXPECT_EQ(progress.Done(), 0u);  // no source was read
    ExpectOldArchiveUntouched();
}

TEST_F(WriterFailure, ArchiveThatCannotBeCreated) {
    faults::Arm(faults::Call::Open, EACCES, 1, 0, "/backup.zip");
    EXPECT_EQ(Build(), 0);
    ExpectOldArchiveUntouched();
    faults::Reset();
    ItemList list;
    test::AddItems(list, dir_ / "src", {"first.txt"});
    EXPECT_EQ(ZipArchiveWriter().Build(list, nullptr, 0, dir_ / "missing/folder/a.zip", nullptr), 0);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "missing"));
}

TEST_F(WriterFailure, ReadOnlyArchiveOrFolderAtTheOutputPathIsKept) {
    ASSERT_TRUE(SetAttributes(out_, ATTR_READONLY));
    EXPECT_EQ(Build(), 0);
    ASSERT_TRUE(SetAttributes(out_, ATTR_NORMAL));
    ExpectOldArchiveUntouched();

    std::filesystem::create_directories(dir_ / "folder.zip/inside");
    ItemList list;
    test::AddItems(list, dir_ / "src", {"third.txt"});
    EXPECT_EQ(ZipArchiveWriter().Build(list, nullptr, 0, dir_ / "folder.zip", nullptr), 0);
    EXPECT_EQ(test::NamesIn(dir_ / "folder.zip"), std::vector<std::string>{"inside"});
    EXPECT_EQ(test::NamesIn(dir_.path()), (std::vector<std::string>{"folder.zip", "out", "src"}));
}

TEST_F(WriterFailure, ReplacedArchiveKeepsItsLinkAndPermissions) {
    namespace fs = std::filesystem;
    // out/link.zip -> ../real/backup.zip, the target private to its owner
    // and group.
    const std::string real = dir_ / "real/backup.zip";
    WriteFile(real, kOldArchive);
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::remove(out_);
    fs::create_symlink("../real/backup.zip", dir_ / "out/link.zip");

    ItemList list;
    test::AddItems(list, dir_ / "src", {"third.txt"});
    ASSERT_EQ(ZipArchiveWriter().Build(list, nullptr, 0, dir_ / "out/link.zip", nullptr), 1);
    EXPECT_TRUE(fs::is_symlink(dir_ / "out/link.zip"));
    EXPECT_EQ(test::ParseArchive(ReadFile(real)).locals.size(), 1u);
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(test::NamesIn(dir_ / "out"), std::vector<std::string>{"link.zip"});
    EXPECT_EQ(test::NamesIn(dir_ / "real"), std::vector<std::string>{"backup.zip"});
}

TEST_F(WriterFailure, ValuesBeyondTheClassicFieldsGoToZip64Records) {
    // The limits are scaled down to the size of a small archive, measured
    // first without limits: the noise entry, then a small text entry.
    const std::vector<std::string> names = {"second.bin", "third.txt"};
    ASSERT_EQ(Build(nullptr, nullptr, {}, names), 1);
    const std::string classic = ReadFile(out_);
    const auto layout = test::ParseArchive(classic);
    ASSERT_EQ(layout.locals.size(), 2u);
    const std::uint64_t noiseCompressed = layout.locals[0].compressedSize;
    const std::uint64_t secondHeader = layout.locals[1].position;
    const std::uint64_t directoryOffset = layout.end.directoryOffset;
    const std::uint64_t directoryEnd = directoryOffset + layout.end.directorySize;
    // What the local header must allow for: zlib's bound for 40,000 bytes
    // and the encryption header.
    z_stream probe{};
    ASSERT_EQ(deflateInit2(&probe, -1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    const std::uint64_t noiseBound = deflateBound(&probe, 40000) + 12;
    deflateEnd(&probe);
    ASSERT_GT(noiseCompressed, 40000u);  // noise does not shrink
    ASSERT_LT(noiseCompressed, noiseBound);
    const std::uint64_t M = 0xFFFFFFFFu;

    struct Case {
        const char* what;
        ZipLimits limits;
        bool localZip64[2];
        // Zip64 values of each central header, in their order.
        std::vector<std::uint64_t> central[2];
        bool zip64End;
        std::uint32_t endSize, endOffset;  // classic end record fields
        std::uint16_t endCount;
    };
    const std::vector<Case> cases = {
        {"directory ends past the limit", ZipLimits{directoryEnd - 1, 0xFFFF}, {false, false},
         {{}, {}}, true, layout.end.directorySize, layout.end.directoryOffset, 2},
        {"offset only", ZipLimits{secondHeader - 1, 0xFFFF}, {false, false},
         {{}, {secondHeader}}, true, 0, M, 2},
        {"entry size", ZipLimits{39999, 0xFFFF}, {true, false},
         {{40000, noiseCompressed}, {0}}, true, 0, M, 2},
        {"bound reaches the limit, data does not", ZipLimits{noiseBound - 1, 0xFFFF},
         {true, false}, {{}, {0}}, true, 0, M, 2},
        {"entry count", ZipLimits{0xFFFFFFFEu, 1}, {false, false}, {{}, {}}, true,
         layout.end.directorySize, layout.end.directoryOffset, 0xFFFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(Build(nullptr, nullptr, c.limits, names), 1);
        const std::string bytes = ReadFile(out_);
        const auto a = test::ParseArchive(bytes);
        ASSERT_EQ(a.locals.size(), 2u);
        ASSERT_EQ(a.centrals.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            SCOPED_TRACE(names[i]);
            const auto& l = a.locals[i];
            const auto& cd = a.centrals[i];
            EXPECT_EQ(test::Inflate(l.data), ReadFile(dir_ / ("src/" + names[i])));
            const std::uint64_t size = layout.locals[i].uncompressedSize;
            if (c.localZip64[i]) {
                EXPECT_EQ(l.versionNeeded, 45);
                EXPECT_EQ(l.compressedSize, M);
                EXPECT_EQ(l.uncompressedSize, M);
                EXPECT_EQ(test::Zip64Values(l.extra),
                          (std::vector<std::uint64_t>{size, l.data.size()}));
            } else {
                EXPECT_EQ(l.versionNeeded, 11);
                EXPECT_EQ(l.extraLength, 9);  // the extended timestamp alone
                EXPECT_EQ(l.uncompressedSize, size);
                EXPECT_EQ(l.compressedSize, l.data.size());
            }
            std::vector<std::uint64_t> central = c.central[i];
            if (central.size() == 1 && central[0] == 0) central = {l.position};  // offset
            EXPECT_EQ(test::Zip64Values(cd.extra), central);
            const bool zip64 = c.localZip64[i] || !central.empty();
            EXPECT_EQ(cd.versionNeeded, zip64 ? 45 : 11);
            EXPECT_EQ(cd.versionMadeBy, 0x0300 | (zip64 ? 45 : 11));  // Unix host
            const bool bigSizes = central.size() >= 2;
            EXPECT_EQ(cd.uncompressedSize, bigSizes ? M : size);
            EXPECT_EQ(cd.compressedSize, bigSizes ? M : l.data.size());
            const bool bigOffset = !central.empty() && central.back() == l.position &&
                                   central.size() != 2;
            EXPECT_EQ(cd.localHeaderOffset, bigOffset ? M : l.position);
        }
        EXPECT_EQ(a.zip64.present, c.zip64End);
        const std::uint64_t start = a.centrals[0].position;
        const std::uint64_t directorySize = a.end.position - start - (c.zip64End ? 76 : 0);
        if (c.zip64End) {
            EXPECT_EQ(a.zip64.recordSize, 44u);
            EXPECT_EQ(a.zip64.versionMadeBy, 45);
            EXPECT_EQ(a.zip64.versionNeeded, 45);
            EXPECT_EQ(a.zip64.thisDisk, 0u);
            EXPECT_EQ(a.zip64.directoryDisk, 0u);
            EXPECT_EQ(a.zip64.entriesOnDisk, 2u);
            EXPECT_EQ(a.zip64.totalEntries, 2u);
            EXPECT_EQ(a.zip64.directorySize, directorySize);
            EXPECT_EQ(a.zip64.directoryOffset, start);
            EXPECT_EQ(a.zip64.locatorDisk, 0u);
            EXPECT_EQ(a.zip64.locatorOffset, a.zip64.position);
            EXPECT_EQ(a.zip64.totalDisks, 1u);
        }
        EXPECT_EQ(a.end.entriesOnDisk, c.endCount);
        EXPECT_EQ(a.end.totalEntries, c.endCount);
        EXPECT_EQ(a.end.directorySize, c.endSize != 0 ? c.endSize : directorySize);
        EXPECT_EQ(a.end.directoryOffset, c.endOffset);
        EXPECT_EQ(a.trailing, 0u);
        // Python's zipfile reads the Zip64 records on its own.
        WriteFile(dir_ / "check.py",
                  "import sys, zipfile\n"
                  "z = zipfile.ZipFile(sys.argv[1])\n"
                  "sys.exit(0 if z.testzip() is None and len(z.infolist()) == 2 else 1)\n");
        EXPECT_EQ(std::system(("python3 '" + dir_ / "check.py' '" + out_ + "'").c_str()), 0);
    }
    // Right at the limits nothing changes.
    EXPECT_EQ(Build(nullptr, nullptr, ZipLimits{directoryEnd, 2}, names), 1);
    EXPECT_EQ(ReadFile(out_), classic);
}

}  // namespace
}  // namespace kivo::zip
