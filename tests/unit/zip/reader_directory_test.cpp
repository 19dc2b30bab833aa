// ZipDirectory::Load on archives built byte by byte: the end record search,
// the central directory walk and the folders the names imply.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Faults.h"
#include "reader_ArchiveBytes.h"
#include "support/TempDir.h"
#include "zip/format/ZipDirectory.h"
#include "zip/format/ZipFolderIndex.h"

namespace kivo::zip {
namespace {

using test::BuildArchive;
using test::Member;

class ReaderTest : public ::testing::Test {
protected:
    int LoadBytes(const std::string& bytes) {
        const std::string path = dir_ / "a.zip";
        test::WriteFile(path, bytes);
        return directory_.Load(path);
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : directory_.Entries()) names.push_back(e->name);
        return names;
    }
    void ExpectCleared() const {
        EXPECT_TRUE(directory_.Entries().empty());
        EXPECT_TRUE(directory_.Path().empty());
        EXPECT_FALSE(directory_.HasFolders());
    }
    test::TempDir dir_;
    ZipDirectory directory_;
};

const std::vector<Member> kTwoFiles = {{"a.txt", "alpha"}, {"b.txt", "bravo bravo"}};

TEST_F(ReaderTest, FilesShorterThanAnEndRecordDoNotLoad) {
    const std::string valid = BuildArchive(kTwoFiles).bytes;
    for (std::size_t size = 0; size < 22; ++size) {
        EXPECT_EQ(LoadBytes(std::string(size, 'P')), 0) << size;
        // The tail of a real archive is no better.
        EXPECT_EQ(LoadBytes(valid.substr(valid.size() - size)), 0) << size;
        ExpectCleared();
    }
}

TEST_F(ReaderTest, ArchiveWithoutEntriesLoadsEmpty) {
    EXPECT_EQ(LoadBytes(test::EndRecord(0, 0, 0, 0, 0, 0, "")), 1);
    EXPECT_TRUE(directory_.Entries().empty());
    EXPECT_FALSE(directory_.Path().empty());
    // A count that the (empty) directory does not hold is still refused.
    EXPECT_EQ(LoadBytes(test::EndRecord(0, 0, 1, 1, 0, 0, "")), 0);
    ExpectCleared();
}

TEST_F(ReaderTest, LoadsEntriesWithTheirCentralDirectoryFields) {
    Member stored{"dir/s.bin", std::string(300, 'x'), kMethodStored};
    stored.password = "pw";
    const auto archive = BuildArchive({{"a.txt", "alpha"}, stored});
    ASSERT_NE(LoadBytes(archive.bytes), 0);
    EXPECT_EQ(directory_.Path(), dir_ / "a.zip");
    EXPECT_TRUE(directory_.HasFolders());
    ASSERT_EQ(Names(), (std::vector<std::string>{"a.txt", "dir/", "dir/s.bin"}));

    const ZipEntry& a = *directory_.Entries()[0];
    EXPECT_FALSE(a.isFolder);
    EXPECT_EQ(a.offset, 0u);
    EXPECT_EQ(a.crc, test::CrcOf("alpha"));
    EXPECT_EQ(a.uncompressedSize, 5u);
    EXPECT_EQ(a.compressedSize, test::RawDeflate("alpha").size());
    EXPECT_EQ(a.method, kMethodDeflated);
    EXPECT_FALSE(a.encrypted);
    EXPECT_EQ(a.time, 133889384000000000ull);  // 2025-04-12 13:33:20 UTC
    EXPECT_EQ(a.displayName, "a.txt");
    EXPECT_EQ(a.iconIndex, -1);
    EXPECT_TRUE(a.typeText.empty());

    const ZipEntry& folder = *directory_.Entries()[1];
    EXPECT_TRUE(folder.isFolder);
    EXPECT_EQ(folder.displayName, "dir");
    EXPECT_EQ(folder.offset, 0u);
    EXPECT_EQ(folder.time, 0u);

    const ZipEntry& s = *directory_.Entries()[2];
    EXPECT_EQ(s.offset, archive.localOffsets[1]);
    EXPECT_TRUE(s.encrypted);
    EXPECT_EQ(s.method, kMethodStored);
    EXPECT_EQ(s.compressedSize, 312u);
    EXPECT_EQ(s.displayName, "s.bin");

    directory_.Clear();
    ExpectCleared();
}

TEST_F(ReaderTest, CommentsAndFalseEndSignaturesInThem) {
    // A plain comment, the longest one, and one holding the signature
    // without a plausible record behind it.
    const std::string fake = test::EndRecord(0, 0, 1, 1, 99999, 99999, "");
    for (const std::string& comment :
         {std::string("made by hand"), std::string(65535, 'c'), "xx" + fake + "yy",
          fake.substr(0, 10)}) {
        EXPECT_NE(LoadBytes(BuildArchive(kTwoFiles, comment).bytes), 0) << comment.size();
        EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt"}));
    }
}

TEST_F(ReaderTest, PlausibleRecordNearestTheEndWins) {
    // A comment ending in a record that passes every test and lists only the
    // first entry: being nearer the end, it is the one taken.
    const auto plain = BuildArchive(kTwoFiles);
    const std::uint32_t firstHeaderSize = 46 + 5;
    const std::string inner =
        test::EndRecord(0, 0, 1, 1, firstHeaderSize, static_cast<std::uint32_t>(plain.centralOffset), "");
    ASSERT_NE(LoadBytes(BuildArchive(kTwoFiles, inner).bytes), 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt"}));
}

TEST_F(ReaderTest, EndRecordsThatFailAPlausibilityTestAreNotUsed) {
    const auto plain = BuildArchive(kTwoFiles);
    const std::size_t end = plain.endOffset;
    struct Case {
        const char* what;
        std::size_t offset;
        std::uint32_t value;
        bool wide;
    };
    const std::vector<Case> cases = {
        {"this disk 1", 4, 1, false},
        {"central directory on disk 1", 6, 1, false},
        {"more entries here than in all", 8, 3, false},
        {"fewer entries here than in all", 8, 1, false},
        {"no entries here", 8, 0, false},
        {"comment longer than the file", 20, 5, false},
        {"central directory offset past the end", 16, static_cast<std::uint32_t>(end + 100), true},
        {"central directory running past the end", 12, static_cast<std::uint32_t>(end), true},
    };
    for (const Case& c : cases) {
        std::string bytes = plain.bytes;
        if (c.wide)
            test::Patch32(bytes, end + c.offset, c.value);
        else
            test::Patch16(bytes, end + c.offset, static_cast<std::uint16_t>(c.value));
        EXPECT_EQ(LoadBytes(bytes), 0) << c.what;
        ExpectCleared();
    }
}

TEST_F(ReaderTest, DamagedCentralDirectoryFailsTheWholeLoad) {
    const auto plain = BuildArchive(kTwoFiles);
    std::string badSignature = plain.bytes;
    badSignature[plain.centralOffset + 46 + 5] = 'X';  // second header
    EXPECT_EQ(LoadBytes(badSignature), 0);
    ExpectCleared();

    // An extra field that claims more bytes than the directory has runs the
    // next header read past the end record.
    std::string longExtra = plain.bytes;
    test::Patch16(longExtra, plain.centralOffset + 30, 60000);
    EXPECT_EQ(LoadBytes(longExtra), 0);
    ExpectCleared();
}

TEST_F(ReaderTest, EndRecordIsSearchedInTheLast65574Bytes) {
    // The longest comment with 17 bytes behind it puts the record at the
    // first byte searched; one byte more puts it out of reach.
    const std::string archive = BuildArchive(kTwoFiles, std::string(65535, 'c')).bytes;
    EXPECT_NE(LoadBytes(archive + std::string(17, 'j')), 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(LoadBytes(archive + std::string(18, 'j')), 0);
    ExpectCleared();
}

TEST_F(ReaderTest, DeepNamesImplyEachLevelOnceWithinABound) {
    std::string deep;
    for (int i = 0; i < 2000; ++i) deep += (i % 2 ? "A/" : "a/");
    ASSERT_NE(LoadBytes(BuildArchive({{deep + "f", "f"}, {"a/x/1", "1"}, {"b/x/2", "2"}}).bytes), 0);
    // 2000 levels and their file; a/x/ (a/ is known) and its file; b/, b/x/
    // and their file.
    ASSERT_EQ(directory_.Entries().size(), 2000u + 1u + 2u + 3u);
    EXPECT_EQ(directory_.Entries()[1999]->name, deep);
    EXPECT_EQ(directory_.Entries()[2001]->name, "a/x/");
    EXPECT_EQ(directory_.CollectEntries("b/x", false).size(), 1u);
    EXPECT_EQ(directory_.CollectEntries("a/x", false).size(), 1u);

    // Each of 30,000 levels would hold the whole name up to it: about a
    // gigabyte of folder names from a 60 KB name. Such an archive is refused.
    std::string huge;
    for (int i = 0; i < 30000; ++i) huge += "d/";
    EXPECT_EQ(LoadBytes(BuildArchive({{huge + "f", "f"}}).bytes), 0);
    ExpectCleared();
}

TEST_F(ReaderTest, NamesMustFitBesideTheirHeaderInSixtyFourKilobytes) {
    // 46 header bytes + name + terminator in 65,536 bytes.
    EXPECT_NE(LoadBytes(BuildArchive({{std::string(65489, 'n'), "x"}}).bytes), 0);
    EXPECT_EQ(LoadBytes(BuildArchive({{"ok.txt", "o"}, {std::string(65490, 'n'), "x"}}).bytes), 0);
    ExpectCleared();
}

TEST_F(ReaderTest, ReadFailuresFailTheLoad) {
    const std::string bytes = BuildArchive(kTwoFiles).bytes;
    for (faults::Call call : {faults::Call::Open, faults::Call::Read}) {
        for (unsigned nth : {1u, 2u}) {
            if (call == faults::Call::Open && nth == 2) continue;
            faults::Guard guard;
            test::WriteFile(dir_ / "a.zip", bytes);
            faults::Arm(call, EIO, nth, 1, "a.zip");
            EXPECT_EQ(directory_.Load(dir_ / "a.zip"), 0);
            EXPECT_EQ(faults::FiredCount(), 1u);
            ExpectCleared();
        }
    }
}

TEST_F(ReaderTest, NamesLoseLeadingSlashesAndSlashesAloneAreRefused) {
    ASSERT_NE(LoadBytes(BuildArchive({{"/x.txt", "x"}, {"//y/z.txt", "z"}}).bytes), 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"x.txt", "y/", "y/z.txt"}));

    EXPECT_EQ(LoadBytes(BuildArchive({{"a.txt", "a"}, {"///", ""}}).bytes), 0);
    ExpectCleared();
    EXPECT_EQ(LoadBytes(BuildArchive({{"", "a"}}).bytes), 0);
}

TEST_F(ReaderTest, FoldersAreListedOnceWhateverTheirCase) {
    ASSERT_NE(LoadBytes(BuildArchive({{"Docs/a.txt", "a"}, {"docs/b.txt", "b"},
                                      {"DOCS/Sub/c.txt", "c"}, {"docs/sub/d.txt", "d"}})
                            .bytes),
              0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Docs/", "Docs/a.txt", "docs/b.txt",
                                                 "DOCS/Sub/", "DOCS/Sub/c.txt", "docs/sub/d.txt"}));
}

TEST_F(ReaderTest, ExplicitFolderEntryAddsNoSecondEntryAndKeepsNoFields) {
    ASSERT_NE(LoadBytes(BuildArchive({{"Docs/", "", kMethodStored}, {"Docs/a.txt", "a"},
                                      {"Docs/Empty/", "", kMethodStored}})
                            .bytes),
              0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Docs/", "Docs/a.txt", "Docs/Empty/"}));
    const ZipEntry& docs = *directory_.Entries()[0];
    EXPECT_TRUE(docs.isFolder);
    EXPECT_EQ(docs.time, 0u);
    EXPECT_EQ(docs.crc, 0u);
    EXPECT_EQ(directory_.Entries()[2]->displayName, "Empty");
}

TEST_F(ReaderTest, BackslashIsPartOfTheName) {
    ASSERT_NE(LoadBytes(BuildArchive({{"a\\b.txt", "a"}}).bytes), 0);
    EXPECT_FALSE(directory_.HasFolders());
    EXPECT_EQ(directory_.Entries()[0]->displayName, "a\\b.txt");
}

TEST_F(ReaderTest, ChildQueries) {
    ASSERT_NE(LoadBytes(BuildArchive({{"top.txt", "t"}, {"Docs/a.txt", "a"},
                                      {"Docs/sub/b.txt", "b"}, {"Docs/sub/deep/c.txt", "c"},
                                      {"Docsx/d.txt", "d"}})
                            .bytes),
              0);
    struct Case {
        std::string folder;
        bool recursive;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"", false, {"top.txt", "Docs/", "Docsx/"}},
        {"", true, {"top.txt", "Docs/", "Docsx/"}},
        {"Docs", false, {"Docs/a.txt", "Docs/sub/"}},
        {"docs/", false, {"Docs/a.txt", "Docs/sub/"}},
        {"Docs", true,
         {"Docs/a.txt", "Docs/sub/", "Docs/sub/b.txt", "Docs/sub/deep/", "Docs/sub/deep/c.txt"}},
        {"Docs/sub", false, {"Docs/sub/b.txt", "Docs/sub/deep/"}},
        {"Doc", true, {}},
        {"Docs/sub/deep/c.txt", true, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> got;
        for (const ZipEntry* e : directory_.CollectEntries(c.folder, c.recursive))
            got.push_back(e->name);
        EXPECT_EQ(got, c.expected) << "'" << c.folder << "' " << c.recursive;
    }
    EXPECT_EQ(directory_.ListSubfolders(""), (std::vector<std::string>{"Docs", "Docsx"}));
    EXPECT_EQ(directory_.ListSubfolders("Docs/"), (std::vector<std::string>{"sub"}));
    EXPECT_TRUE(directory_.ListSubfolders("Docs/sub/deep").empty());
}

TEST_F(ReaderTest, ManyEntriesStayInOrderWithOneEntryPerFolder) {
    std::vector<Member> members;
    for (int i = 0; i < 3000; ++i)
        members.push_back({"f" + std::to_string(i % 7) + "/n" + std::to_string(i), "", kMethodStored});
    ASSERT_NE(LoadBytes(BuildArchive(members).bytes), 0);
    EXPECT_EQ(directory_.Entries().size(), 3007u);
    EXPECT_EQ(directory_.ListSubfolders("").size(), 7u);
    EXPECT_EQ(directory_.CollectEntries("f3", false).size(), 429u);
}

TEST_F(ReaderTest, DirectoryIsReadToItsStatedSizePastTheSixteenBitCount) {
    std::vector<Member> members;
    for (int i = 0; i < 70000; ++i) members.push_back({"n" + std::to_string(i), "", kMethodStored});
    auto archive = BuildArchive(members);  // the count field holds 70000 mod 65536
    ASSERT_NE(LoadBytes(archive.bytes), 0);
    ASSERT_EQ(directory_.Entries().size(), 70000u);
    EXPECT_EQ(directory_.Entries().back()->name, "n69999");

    // A count that is not what the directory holds, modulo 65,536.
    test::Patch16(archive.bytes, archive.endOffset + 8, 4465);
    test::Patch16(archive.bytes, archive.endOffset + 10, 4465);
    EXPECT_EQ(LoadBytes(archive.bytes), 0);
    ExpectCleared();
}

// The ways an archive can end: classic, Zip64 with markers, Zip64 with
// real values beside it (Info-ZIP from standard input), Zip64 with
// extensible data; each also behind a self-extracting stub.
TEST_F(ReaderTest, Zip64AndPrefixedArchivesLoadWithTheirRealOffsets) {
    const std::vector<Member> members = {{"a.txt", "alpha"}, {"dir/b.txt", "bravo"}};
    enum class End { Classic, Markers, RealValues, Extensible };
    const std::string stub = "MZ" + std::string(4094, '\x90');
    for (End kind : {End::Classic, End::Markers, End::RealValues, End::Extensible}) {
        for (const std::string& prefix : {std::string(), stub}) {
            auto archive = BuildArchive(members);
            if (kind == End::Markers) test::UseZip64End(archive, true);
            if (kind == End::RealValues) test::UseZip64End(archive, false);
            if (kind == End::Extensible) test::UseZip64End(archive, true, std::string(20, 'x'));
            const std::string what = std::to_string(static_cast<int>(kind)) + "/" +
                                     std::to_string(prefix.size());
            // Extensible data moves the record away from the locator: it is
            // found where the locator says, which a stub makes short.
            if (kind == End::Extensible && !prefix.empty()) continue;
            ASSERT_NE(LoadBytes(prefix + archive.bytes), 0) << what;
            ASSERT_EQ(Names(), (std::vector<std::string>{"a.txt", "dir/", "dir/b.txt"})) << what;
            EXPECT_EQ(directory_.Entries()[0]->offset, prefix.size()) << what;
            EXPECT_EQ(directory_.Entries()[2]->offset, archive.localOffsets[1] + prefix.size())
                << what;
        }
    }
}

TEST_F(ReaderTest, DamagedOrDisagreeingZip64RecordsMakeTheArchiveUnreadable) {
    struct Case {
        const char* what;
        bool markers;
        std::size_t at;  // from the Zip64 record
        std::uint64_t value;
        int width;
    };
    const auto plain = BuildArchive(kTwoFiles);
    const std::uint64_t size = plain.endOffset - plain.centralOffset;
    const std::vector<Case> cases = {
        {"count beside a real classic count", false, 32, 3, 8},
        {"size beside a real classic size", false, 40, size + 1, 8},
        {"offset beside a real classic offset", false, 48, 1, 8},
        {"count the directory does not hold", true, 32, 3, 8},
        {"entries on this disk not the total", true, 24, 1, 8},
        {"record on another disk", true, 16, 1, 4},
        {"directory on another disk", true, 20, 1, 4},
        {"directory larger than what precedes the record", true, 40, 1ull << 40, 8},
        {"damaged signature", true, 0, 0x06064b51, 4},
        {"locator: record on another disk", true, 56 + 4, 1, 4},
        {"locator: two disks", true, 56 + 16, 2, 4},
    };
    for (const Case& c : cases) {
        auto archive = BuildArchive(kTwoFiles);
        test::UseZip64End(archive, c.markers);
        std::string& bytes = archive.bytes;
        const std::size_t at = archive.zip64Offset + c.at;
        if (c.width == 8) test::Patch32(bytes, at + 4, static_cast<std::uint32_t>(c.value >> 32));
        test::Patch32(bytes, at, static_cast<std::uint32_t>(c.value));
        EXPECT_EQ(LoadBytes(bytes), 0) << c.what;
        ExpectCleared();
    }
}

// Central headers whose sizes and offset hold markers take them from their
// Zip64 field, in its order; a field too short for the markers is damage.
TEST_F(ReaderTest, CentralZip64FieldGivesTheMarkedValues) {
    const std::uint64_t huge = 5ull << 30;
    for (const bool complete : {true, false}) {
        Member member{"big.bin", "x"};
        const std::uint64_t compressed = test::RawDeflate("x").size();
        member.centralExtra = test::Zip64Field(complete ? std::vector<std::uint64_t>{huge, compressed, 0}
                                                        : std::vector<std::uint64_t>{huge, compressed});
        auto archive = BuildArchive({member});
        for (std::size_t field : {20u, 24u, 42u})
            test::Patch32(archive.bytes, archive.centralOffset + field, 0xFFFFFFFF);
        if (!complete) {
            EXPECT_EQ(LoadBytes(archive.bytes), 0);
            ExpectCleared();
            continue;
        }
        ASSERT_NE(LoadBytes(archive.bytes), 0);
        const ZipEntry& entry = *directory_.Entries()[0];
        EXPECT_EQ(entry.uncompressedSize, huge);
        EXPECT_EQ(entry.compressedSize, compressed);
        EXPECT_EQ(entry.offset, 0u);
    }
}

TEST_F(ReaderTest, DosDirectoryAttributeMarksAFolderOnDosHosts) {
    struct Case {
        unsigned host;
        bool folder;
    };
    for (const Case c : {Case{0, true}, Case{6, true}, Case{10, true}, Case{14, true},
                         Case{3, false}, Case{11, false}}) {
        Member def{"def", "", kMethodStored};
        def.madeBy = static_cast<std::uint16_t>(c.host << 8 | 20);
        def.externalAttributes = 0x10;
        ASSERT_NE(LoadBytes(BuildArchive({def, {"def/foo", "foo"}}).bytes), 0) << c.host;
        const std::vector<std::string> expected =
            c.folder ? std::vector<std::string>{"def/", "def/foo"}
                     : std::vector<std::string>{"def", "def/", "def/foo"};
        EXPECT_EQ(Names(), expected) << c.host;
    }
}

TEST(FolderIndexSizeTest, SmallestCountingPrimeAtLeastTwiceTheEntries) {
    const std::vector<std::pair<std::size_t, std::size_t>> cases = {
        {0, 2}, {1, 2}, {2, 5}, {3, 7}, {4, 11}, {6, 13}, {7, 17}, {13, 29}, {60, 127}};
    for (const auto& [entries, size] : cases) EXPECT_EQ(FolderIndexSize(entries), size) << entries;
}

}  // namespace
}  // namespace kivo::zip
