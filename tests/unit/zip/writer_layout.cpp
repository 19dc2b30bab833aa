// The archive as bytes: every field of the local headers, the central
// directory and the end record, read back by a parser of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Faults.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "zip/format/DosDateTime.h"
#include "zip/ZipArchiveWriter.h"
#include "zip/format/ZipCrypto.h"
#include "zip/writer_support.h"

namespace kivo::zip {
namespace {

using test::ParseArchive;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// 2024-02-29 13:45:59 UTC as a file time.
constexpr std::uint64_t kUnixSample = 1709214359;
constexpr FileTime kSampleTime = (kUnixSample + kEpochDifferenceSeconds) * kTicksPerSecond;
// The same moment as DOS fields, worked out by hand: seconds stored halved.
constexpr std::uint16_t kSampleDosTime = (13 << 11) | (45 << 5) | (59 / 2);
constexpr std::uint16_t kSampleDosDate = ((2024 - 1980) << 9) | (2 << 5) | 29;

struct SourceFile {
    std::string name;
    std::string content;
    unsigned mode;  // permission bits given to the source file
};

std::string Decrypt(const std::string& data, const std::string& password, std::uint32_t crc) {
    const std::string plain = test::Decrypted(data, password);
    if (!test::CheckBytesMatch(plain, crc)) {
        ADD_FAILURE() << "check bytes do not match";
        return std::string();
    }
    return plain.substr(12);
}

class WriterLayout : public ::testing::TestWithParam<std::string> {};

TEST_P(WriterLayout, EveryFieldOfTheThreeRecords) {
    const std::string password = GetParam();
    TempDir dir;
    const std::vector<SourceFile> files = {
        {"Docs/readme.txt", test::SampleText(100000), 0644},
        {"Docs/sub/empty.dat", "", 0600},
        {"noise.bin", test::NoiseBytes(40000), 0755},
        {"a.txt", "short", 0444},
        {"Gr\xc3\xbc\xc3\x9f" "e/\xc3\xb1.txt", "non-ASCII name", 04750},
    };
    ItemList list;
    for (const auto& f : files) {
        WriteFile(dir / ("src/" + f.name), f.content);
        ASSERT_TRUE(SetPathTimes(dir / ("src/" + f.name), kSampleTime, kSampleTime));
        std::filesystem::permissions(dir / ("src/" + f.name),
                                     static_cast<std::filesystem::perms>(f.mode));
    }
    std::vector<std::string> names;
    for (const auto& f : files) names.push_back(f.name);
    test::AddItems(list, dir / "src", names);

    const std::string out = dir / "out.zip";
    ZipArchiveWriter writer;
    ASSERT_EQ(writer.Build(list, password.empty() ? nullptr : password.data(), password.size(),
                           out, nullptr),
              1);
    const std::string bytes = ReadFile(out);
    const auto archive = ParseArchive(bytes);
    ASSERT_EQ(archive.locals.size(), files.size());
    ASSERT_EQ(archive.centrals.size(), files.size());

    std::size_t expectedPosition = 0;
    std::size_t directorySize = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].name);
        const auto& l = archive.locals[i];
        const auto& c = archive.centrals[i];
        const std::uint32_t crc = test::ZlibCrc(files[i].content);
        const bool ascii = i + 1 < files.size();
        const std::uint16_t flags = (password.empty() ? 0 : 1) | (ascii ? 0 : 0x0800);
        // The Unicode Path field comes first where it is written, then the
        // modification time in UTC.
        const std::string extra = (ascii ? "" : test::UnicodePathExtra(files[i].name)) +
                                  test::ExtendedTimestampExtra(kUnixSample);
        // A regular file (0100000) with its mode in the high half; the DOS
        // archive bit (0x20), and read-only (0x01) without owner write.
        const std::uint32_t attributes = ((0100000u | files[i].mode) << 16) | 0x20u |
                                         ((files[i].mode & 0200) ? 0u : 0x01u);

        EXPECT_EQ(l.position, expectedPosition);
        EXPECT_EQ(l.signature, 0x04034b50u);
        EXPECT_EQ(l.versionNeeded, 11);
        EXPECT_EQ(l.flags, flags);
        EXPECT_EQ(l.method, 8);
        EXPECT_EQ(l.time, kSampleDosTime);
        EXPECT_EQ(l.date, kSampleDosDate);
        EXPECT_EQ(l.crc, crc);
        EXPECT_EQ(l.uncompressedSize, files[i].content.size());
        EXPECT_EQ(l.nameLength, files[i].name.size());
        EXPECT_EQ(l.extraLength, extra.size());
        EXPECT_EQ(l.name, files[i].name);
        EXPECT_EQ(l.extra, extra);
        const std::string deflated = password.empty() ? l.data : Decrypt(l.data, password, crc);
        EXPECT_EQ(test::Inflate(deflated), files[i].content);
        if (!password.empty()) {
            EXPECT_EQ(l.compressedSize, deflated.size() + 12);
        }
        expectedPosition += 30 + l.nameLength + l.extraLength + l.compressedSize;

        EXPECT_EQ(c.signature, 0x02014b50u);
        EXPECT_EQ(c.versionMadeBy, 0x030B);  // Unix host, version 1.1
        EXPECT_EQ(c.versionNeeded, 11);
        EXPECT_EQ(c.flags, flags);
        EXPECT_EQ(c.method, 8);
        EXPECT_EQ(c.time, kSampleDosTime);
        EXPECT_EQ(c.date, kSampleDosDate);
        EXPECT_EQ(c.crc, crc);
        EXPECT_EQ(c.compressedSize, l.compressedSize);
        EXPECT_EQ(c.uncompressedSize, files[i].content.size());
        EXPECT_EQ(c.nameLength, files[i].name.size());
        EXPECT_EQ(c.extraLength, extra.size());
        EXPECT_EQ(c.commentLength, 0);
        EXPECT_EQ(c.diskStart, 0);
        EXPECT_EQ(c.internalAttributes, 0);
        EXPECT_EQ(c.externalAttributes, attributes);
        EXPECT_EQ(c.localHeaderOffset, l.position);
        EXPECT_EQ(c.name, files[i].name);
        EXPECT_EQ(c.extra, extra);
        directorySize += 46 + files[i].name.size() + extra.size();
    }
    const auto& e = archive.end;
    EXPECT_EQ(e.signature, 0x06054b50u);
    EXPECT_EQ(e.thisDisk, 0);
    EXPECT_EQ(e.directoryDisk, 0);
    EXPECT_EQ(e.entriesOnDisk, files.size());
    EXPECT_EQ(e.totalEntries, files.size());
    EXPECT_EQ(e.directorySize, directorySize);
    EXPECT_EQ(e.directoryOffset, archive.centrals.front().position);
    EXPECT_EQ(e.directoryOffset, expectedPosition);
    EXPECT_EQ(e.commentLength, 0);
    EXPECT_EQ(archive.trailing, 0u);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutPassword, WriterLayout,
                         ::testing::Values(std::string(), std::string("pa55 word")),
                         [](const auto& info) { return info.param.empty() ? "Plain" : "Encrypted"; });

// Builds an archive of one file and returns its parsed form.
test::ParsedArchive ZipOne(const TempDir& dir, const std::string& content,
                           const std::string& password) {
    WriteFile(dir / "src/f", content);
    ItemList list;
    test::AddItem(list, dir / "src/f", (dir / "src/").size());
    ZipArchiveWriter writer;
    const std::string out = dir / "one.zip";
    EXPECT_EQ(writer.Build(list, password.empty() ? nullptr : password.data(), password.size(),
                           out, nullptr),
              1);
    return ParseArchive(ReadFile(out));
}

TEST(WriterEntryData, EmptyFileIsAnEmptyDeflateStream) {
    TempDir dir;
    const auto plain = ZipOne(dir, "", "");
    ASSERT_EQ(plain.locals.size(), 1u);
    EXPECT_EQ(plain.locals[0].method, 8);
    EXPECT_EQ(plain.locals[0].crc, 0u);
    EXPECT_EQ(plain.locals[0].uncompressedSize, 0u);
    EXPECT_EQ(plain.locals[0].data, std::string("\x03\x00", 2));

    const auto encrypted = ZipOne(dir, "", "x");
    ASSERT_EQ(encrypted.locals.size(), 1u);
    EXPECT_EQ(encrypted.locals[0].compressedSize, 14u);
    EXPECT_EQ(Decrypt(encrypted.locals[0].data, "x", 0), std::string("\x03\x00", 2));
}

TEST(WriterEntryData, MatchesIndependentlyEncryptedBytes) {
    // Deflate output and cipher bytes from a separate Python computation
    // (zlib level -1, raw window, memory level 8; cipher keyed by "secret").
    const std::string content = [] {
        std::string s;
        for (int i = 0; i < 20; ++i) s += "Hello, zip!\n";
        return s;
    }();
    const unsigned char deflated[] = {0xF3, 0x48, 0xCD, 0xC9, 0xC9, 0xD7, 0x51, 0xA8, 0xCA,
                                      0x2C, 0x50, 0xE4, 0xF2, 0x18, 0x01, 0x6C, 0x00};
    const unsigned char encrypted[] = {0xC8, 0x88, 0xC2, 0xBF, 0x0D, 0xE3, 0xA4, 0x03, 0xF4, 0x15,
                                       0x8E, 0x6D, 0xB6, 0xC2, 0xC7, 0x61, 0xFC, 0xFB, 0x87, 0x36,
                                       0x40, 0xF5, 0x68, 0xF4, 0xD2, 0x86, 0xB1, 0x0B, 0x56};
    // Header bytes 0..9 are random; fixed here to 0..9 as in that computation.
    test::FixedRandom fixed;
    TempDir dir;
    const auto plain = ZipOne(dir, content, "");
    EXPECT_EQ(plain.locals.at(0).crc, 0x31B67032u);
    EXPECT_EQ(plain.locals.at(0).data,
              std::string(reinterpret_cast<const char*>(deflated), sizeof deflated));
    const auto secret = ZipOne(dir, content, "secret");
    EXPECT_EQ(secret.locals.at(0).flags, 1);
    EXPECT_EQ(secret.locals.at(0).data,
              std::string(reinterpret_cast<const char*>(encrypted), sizeof encrypted));
}

TEST(WriterEntryData, EncryptionHeadersAreRandomUnlessTheSourceIsFixed) {
    TempDir dir;
    const std::string content = test::SampleText(70000);
    WriteFile(dir / "src/data.txt", content);
    auto zipTwice = [&](const std::string& tag) {
        std::vector<std::string> archives;
        for (int i = 0; i < 2; ++i) {
            ItemList list;
            test::AddItems(list, dir / "src", {"data.txt"});
            const std::string out = dir / (tag + std::to_string(i) + ".zip");
            EXPECT_EQ(ZipArchiveWriter().Build(list, "same", 4, out, nullptr), 1);
            archives.push_back(ReadFile(out));
        }
        return archives;
    };
    const auto random = zipTwice("random");
    const std::uint32_t crc = test::ZlibCrc(content);
    std::string plain[2];
    for (int i = 0; i < 2; ++i) {
        plain[i] = test::Decrypted(ParseArchive(random[i]).locals.at(0).data, "same");
        EXPECT_TRUE(test::CheckBytesMatch(plain[i], crc));
    }
    EXPECT_NE(plain[0].substr(0, 10), plain[1].substr(0, 10));
    EXPECT_EQ(plain[0].substr(10), plain[1].substr(10));
    EXPECT_EQ(test::Inflate(plain[0].substr(12)), content);

    test::FixedRandom fixed;
    const auto same = zipTwice("fixed");
    EXPECT_GT(same[0].size(), 100u);
    EXPECT_EQ(same[0], same[1]);
}

TEST(WriterNames, RelativeNamesFlagsAndDuplicates) {
    TempDir dir;
    struct Case {
        std::string relative;  // below dir/src
        std::size_t extraStart;  // chars of dir/src/ not skipped (the set folder's own name)
        std::string password;
        std::string expectedName;
        std::uint16_t expectedFlags;
    };
    const std::string root = dir / "src";
    const std::vector<Case> cases = {
        {"Docs/sub/a.txt", 0, "", "Docs/sub/a.txt", 0x0000},
        {"plain.txt", 4, "", "src/plain.txt", 0x0000},  // name begins with the folder's own name
        {"Gr\xc3\xbc\xc3\x9f" "e/\xc3\xb1.txt", 0, "", "Gr\xc3\xbc\xc3\x9f" "e/\xc3\xb1.txt", 0x0800},
        {"caf\xc3\xa9.txt", 0, "pw", "caf\xc3\xa9.txt", 0x0801},
        {"back\\slash.txt", 0, "", "back\\slash.txt", 0x0000},
        // Not UTF-8 at all (a Latin-1 byte): no claim about the encoding.
        {"caf\xe9.txt", 0, "", "caf\xe9.txt", 0x0000},
        {"over\xc0\xaflong.txt", 0, "", "over\xc0\xaflong.txt", 0x0000},
        {"emoji \xf0\x9f\x93\xa6.txt", 0, "", "emoji \xf0\x9f\x93\xa6.txt", 0x0800},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expectedName);
        WriteFile(root + "/" + c.relative, "x");
        ItemList list;
        test::AddItem(list, root + "/" + c.relative, root.size() + 1 - c.extraStart);
        const std::string out = dir / "names.zip";
        ASSERT_EQ(ZipArchiveWriter().Build(list, c.password.empty() ? nullptr : c.password.data(),
                                           c.password.size(), out, nullptr),
                  1);
        const auto archive = ParseArchive(ReadFile(out));
        ASSERT_EQ(archive.locals.size(), 1u);
        EXPECT_EQ(archive.locals[0].name, c.expectedName);
        EXPECT_EQ(archive.centrals[0].name, c.expectedName);
        EXPECT_EQ(archive.locals[0].flags, c.expectedFlags);
        EXPECT_EQ(archive.centrals[0].flags, c.expectedFlags);
        // Names that are not UTF-8 go as their bytes, with no Unicode Path.
        const std::string extra =
            (c.expectedFlags & 0x0800) ? test::UnicodePathExtra(c.expectedName) : "";
        EXPECT_EQ(archive.locals[0].extra.substr(0, extra.size()), extra);
        EXPECT_EQ(archive.centrals[0].extra.substr(0, extra.size()), extra);
        EXPECT_EQ(archive.locals[0].extra.size(), extra.size() + 9);
    }
}

TEST(WriterTimes, TheUtcFieldOnlyForTimesItsSignedSecondsHold) {
    TempDir dir;
    struct Case {
        std::int64_t unixSeconds;
        bool field;
    };
    const std::vector<Case> cases = {
        {-1, false},                  // 1969-12-31 23:59:59
        {0, true},                    // 1970-01-01
        {kUnixSample, true},
        {0x7FFFFFFF, true},           // 2038-01-19 03:14:07
        {0x80000000LL, false},        // one second later
        {4102444800LL, false},        // 2100
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unixSeconds);
        WriteFile(dir / "src/t", "t");
        const FileTime time = static_cast<FileTime>(c.unixSeconds + static_cast<std::int64_t>(kEpochDifferenceSeconds)) * kTicksPerSecond;
        ASSERT_TRUE(SetPathTimes(dir / "src/t", time, time));
        ItemList list;
        test::AddItems(list, dir / "src", {"t"});
        ASSERT_EQ(ZipArchiveWriter().Build(list, nullptr, 0, dir / "t.zip", nullptr), 1);
        const auto archive = ParseArchive(ReadFile(dir / "t.zip"));
        const std::string expected =
            c.field ? test::ExtendedTimestampExtra(static_cast<std::uint32_t>(c.unixSeconds)) : "";
        EXPECT_EQ(archive.locals.at(0).extra, expected);
        EXPECT_EQ(archive.centrals.at(0).extra, expected);
        // The DOS fields stay as they always were.
        const DosDateTime dos = ToDosDateTime(time);
        EXPECT_EQ(archive.locals.at(0).time, dos.time);
        EXPECT_EQ(archive.locals.at(0).date, dos.date);
    }
}

TEST(WriterNames, WholePathNamesLoseTheirLeadingSeparator) {
    TempDir dir;
    WriteFile(dir / "f.txt", "whole");
    ItemList list;
    test::AddItem(list, dir / "f.txt", 0);  // a set folder at the root: start 0
    const std::string out = dir / "root.zip";
    ASSERT_EQ(ZipArchiveWriter().Build(list, nullptr, 0, out, nullptr), 1);
    const auto archive = ParseArchive(ReadFile(out));
    ASSERT_EQ(archive.locals.size(), 1u);
    EXPECT_EQ(archive.locals[0].name, (dir / "f.txt").substr(1));
}

TEST(WriterNames, SameFileListedTwiceGivesTwoEntries) {
    TempDir dir;
    WriteFile(dir / "src/twice.txt", "dup");
    ItemList list;
    test::AddItems(list, dir / "src", {"twice.txt", "twice.txt"});
    const std::string out = dir / "dup.zip";
    ASSERT_EQ(ZipArchiveWriter().Build(list, nullptr, 0, out, nullptr), 1);
    const auto archive = ParseArchive(ReadFile(out));
    ASSERT_EQ(archive.centrals.size(), 2u);
    EXPECT_EQ(archive.centrals[0].name, "twice.txt");
    EXPECT_EQ(archive.centrals[1].name, "twice.txt");
    EXPECT_EQ(archive.centrals[1].localHeaderOffset, archive.locals[1].position);
    EXPECT_NE(archive.locals[0].position, archive.locals[1].position);
}

TEST(WriterEmptySet, GivesTheEndRecordAloneInPlaceOfAnOldOne) {
    TempDir dir;
    const std::string out = dir / "empty.zip";
    WriteFile(out, "an older archive");
    ItemList list;
    EXPECT_EQ(ZipArchiveWriter().Build(list, "pw", 2, out, nullptr), 1);
    const std::string bytes = ReadFile(out);
    EXPECT_EQ(bytes, std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    const auto archive = ParseArchive(bytes);
    EXPECT_TRUE(archive.locals.empty());
    EXPECT_EQ(archive.end.totalEntries, 0);
    EXPECT_EQ(test::NamesIn(dir.path()), std::vector<std::string>{"empty.zip"});
}

TEST(WriterArchivePath, NamesUpToTheLongestAllowed) {
    TempDir dir;
    WriteFile(dir / "src/f.txt", "f");
    // 255 bytes in all, the last character a two-byte one across byte 200.
    for (const std::string& name : {std::string(251, 'a') + ".zip",
                                    std::string(199, 'b') + "\xc3\xa9" + std::string(50, 'c') + ".zip"}) {
        ItemList list;
        test::AddItems(list, dir / "src", {"f.txt"});
        EXPECT_EQ(ZipArchiveWriter().Build(list, nullptr, 0, dir / name, nullptr), 1);
        EXPECT_EQ(test::ParseArchive(ReadFile(dir / name)).locals.size(), 1u);
    }
    EXPECT_EQ(test::NamesIn(dir.path()).size(), 3u);  // src and the two archives
}

TEST(DosDateTime, FieldsFromUtcCalendar) {
    struct Case {
        int year, month, day, hour, minute, second;
        std::uint16_t time, date;
    };
    // DOS fields: time = h<<11 | m<<5 | s/2, date = (y-1980)<<9 | mon<<5 | d.
    const std::vector<Case> cases = {
        {1980, 1, 1, 0, 0, 0, 0x0000, 0x0021},
        {1980, 1, 1, 0, 0, 1, 0x0000, 0x0021},
        {2024, 2, 29, 13, 45, 59, kSampleDosTime, kSampleDosDate},
        {2107, 12, 31, 23, 59, 58, 0xBF7D, 0xFF9F},
        {1979, 12, 31, 23, 59, 59, 0x0000, 0x0021},   // before DOS time: earliest value
        {2108, 1, 1, 0, 0, 0, 0xBF7D, 0xFF9F},         // after: latest value
    };
    for (const auto& c : cases) {
        FileTime ft = 0;
        ASSERT_TRUE(UtcPartsToFileTime(TimeParts{c.year, c.month, c.day, c.hour, c.minute, c.second},
                                       ft));
        const DosDateTime dos = ToDosDateTime(ft);
        EXPECT_EQ(dos.time, c.time) << c.year;
        EXPECT_EQ(dos.date, c.date) << c.year;
    }
}

}  // namespace
}  // namespace kivo::zip

namespace kivo::zip {
namespace {

TEST(WriterThreads, SameArchiveForOneTwoAndEightThreads) {
    // Files across block boundaries (128 KiB) and around the dictionary
    // size, many small ones, an empty one; with and without a password.
    TempDir dir;
    std::vector<std::string> names;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"big.txt", test::SampleText(3 * 131072 + 777)},
        {"exact.txt", test::SampleText(2 * 131072, 4)},
        {"noise.bin", test::NoiseBytes(131072 + 1)},
        {"empty", ""},
    };
    for (const auto& [name, content] : files) {
        WriteFile(dir / ("src/" + name), content);
        names.push_back(name);
    }
    for (int i = 0; i < 200; ++i) {
        const std::string name = "small/" + std::to_string(i) + ".txt";
        WriteFile(dir / ("src/" + name), test::SampleText(100 + i * 37, i));
        names.push_back(name);
    }
    test::FixedRandom fixed;
    for (const std::string password : {"", "pw"}) {
        SCOPED_TRACE(password);
        std::string archives[3];
        const unsigned threads[3] = {1, 2, 8};
        for (int i = 0; i < 3; ++i) {
            ItemList list;
            test::AddItems(list, dir / "src", names);
            const std::string out = dir / ("t" + std::to_string(threads[i]) + ".zip");
            ASSERT_EQ(ZipArchiveWriter({}, threads[i])
                          .Build(list, password.empty() ? nullptr : password.data(),
                                 password.size(), out, nullptr),
                      1);
            archives[i] = ReadFile(out);
        }
        EXPECT_TRUE(archives[0] == archives[1]);
        EXPECT_TRUE(archives[0] == archives[2]);
        const auto parsed = ParseArchive(archives[0]);
        ASSERT_EQ(parsed.locals.size(), names.size());
        for (std::size_t i = 0; i < files.size(); ++i) {
            const auto& l = parsed.locals[i];
            const std::string data =
                password.empty() ? l.data : Decrypt(l.data, password, l.crc);
            EXPECT_TRUE(test::Inflate(data) == files[i].second) << files[i].first;
            EXPECT_EQ(l.crc, test::ZlibCrc(files[i].second));
        }
    }
}

}  // namespace
}  // namespace kivo::zip

namespace kivo::zip {
namespace {

TEST(WriterArchiveFile, PrivateWhileWrittenThenTheUsualModeOrTheReplacedOnes) {
    TempDir dir;
    WriteFile(dir / "src/f.txt", test::SampleText(200000));
    const std::string out = dir / "out.zip";
    auto build = [&] {
        ItemList list;
        test::AddItems(list, dir / "src", {"f.txt"});
        return ZipArchiveWriter().Build(list, nullptr, 0, out, nullptr);
    };
    // Every write reaches a file that only its owner can open, and that
    // has no name yet.
    std::vector<unsigned> modes;
    bool namedEarly = false;
    faults::SetObserverForTesting([&](faults::Call call, const char* path) {
        if (call != faults::Call::Write || std::string(path) != out) return;
        namedEarly |= ::access(out.c_str(), F_OK) == 0;
        for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
            char to[4096];
            const ssize_t n = ::readlink(fd.path().c_str(), to, sizeof to - 1);
            const std::string link(to, n > 0 ? static_cast<std::size_t>(n) : 0);
            // The archive's file, not the source being read.
            if (link.rfind(dir.path() + "/", 0) != 0 || link.rfind(dir / "src/", 0) == 0) continue;
            struct stat st {};
            if (::stat(fd.path().c_str(), &st) == 0 && S_ISREG(st.st_mode)) modes.push_back(st.st_mode & 0777);
        }
    });
    ASSERT_EQ(build(), 1);
    faults::SetObserverForTesting(nullptr);
    EXPECT_FALSE(namedEarly);
    ASSERT_FALSE(modes.empty());
    for (const unsigned mode : modes) EXPECT_EQ(mode, 0600u);
    struct stat st {};
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~CurrentUmask());

    // A replaced archive keeps the mode it had.
    ASSERT_EQ(::chmod(out.c_str(), 0640), 0);
    ASSERT_EQ(build(), 1);
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(test::NamesIn(dir.path()), (std::vector<std::string>{"out.zip", "src"}));
}

}  // namespace
}  // namespace kivo::zip
