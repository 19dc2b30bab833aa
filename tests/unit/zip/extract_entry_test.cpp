// ExtractEntry: every result code that can be provoked, with what it leaves
// on disk, and the rules that keep writes inside the target folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "extract_support.h"
#include "platform/Faults.h"
#include "platform/FileSystem.h"
#include "zip/ExtractEntry.h"

namespace kivo::zip {
namespace {

using test::Member;
using test::ReadFile;

class CancelAfter : public ZipProgress {
public:
    explicit CancelAfter(int calls) : left_(calls) {}
    int IsCancelled() override { return --left_ < 0; }

private:
    int left_;
};

class ExtractEntryTest : public ::testing::Test, public test::ExtractFixture {
protected:
    int Extract(const std::string& name, const std::string& prefix = std::string(),
                const std::string* password = nullptr, bool skipExisting = false) {
        return ExtractEntry(Entry(name), directory_.ArchiveFile(), Target(), prefix, password,
                            progress_, skipExisting);
    }
    std::string At(const std::string& rel) const { return Target() + "/" + rel; }
    ZipProgress progress_;
};

const std::string kBig = [] {
    std::string s;
    for (int i = 0; s.size() < 300000; ++i) s += "line " + std::to_string(i * 7919 % 100003) + "\n";
    return s;
}();

TEST_F(ExtractEntryTest, StoredDeflatedEmptyAndFolderEntries) {
    ASSERT_TRUE(Load({{"d/big.txt", kBig}, {"s.bin", kBig.substr(0, 70000), kMethodStored},
                      {"empty.txt", ""}, {"e/", "", kMethodStored}}));
    for (const char* name : {"d/big.txt", "s.bin", "empty.txt", "e/"})
        EXPECT_EQ(Extract(name), kExtractOk) << name;
    EXPECT_EQ(ReadFile(At("d/big.txt")), kBig);
    EXPECT_EQ(ReadFile(At("s.bin")), kBig.substr(0, 70000));
    EXPECT_TRUE(IsFolder(At("e")));
    EXPECT_TRUE(PathExists(At("empty.txt")));
    EXPECT_EQ(ReadFile(At("empty.txt")), "");
    EXPECT_EQ(progress_.Done(), kBig.size() + 70000);
    // Times come from the entry; temporary files are gone.
    FindData data;
    ASSERT_TRUE(GetFindData(At("s.bin"), data));
    EXPECT_EQ(data.lastWriteTime, Entry("s.bin").time);
    ASSERT_TRUE(GetFindData(At("d/big.txt"), data));
    EXPECT_EQ(data.lastWriteTime, Entry("d/big.txt").time);
    EXPECT_EQ(Tree(), (std::vector<std::string>{"target", "target/d", "target/d/big.txt",
                                                "target/e", "target/empty.txt", "target/s.bin"}));
}

TEST_F(ExtractEntryTest, DataDescriptorEntriesTakeTheCentralDirectoryValues) {
    Member deflated{"dd.txt", kBig};
    deflated.dataDescriptor = true;
    Member stored{"ds.txt", "stored with descriptor", kMethodStored};
    stored.dataDescriptor = true;
    ASSERT_TRUE(Load({deflated, stored}));
    EXPECT_EQ(Extract("dd.txt"), kExtractOk);
    EXPECT_EQ(Extract("ds.txt"), kExtractOk);
    EXPECT_EQ(ReadFile(At("dd.txt")), kBig);
    EXPECT_EQ(ReadFile(At("ds.txt")), "stored with descriptor");
}

// Info-ZIP reading standard input marks the local sizes and gives the real
// ones in a Zip64 field; a marker without the field defers to the central
// directory; a field too short for the markers is a damaged header. All
// of it behind a self-extracting stub, which shifts every offset.
TEST_F(ExtractEntryTest, LocalZip64SizesAndPrefixedArchives) {
    Member deflated{"d.txt", kBig};
    deflated.localZip64 = true;
    Member stored{"s.txt", kBig.substr(0, 5000), kMethodStored};
    stored.localZip64 = true;
    Member shortField{"short.txt", "short"};
    shortField.localZip64 = true;
    auto archive = test::BuildArchive({deflated, stored, shortField, {"plain.txt", "plain"}});
    // The third entry's field claims 8 bytes: one size for two markers.
    test::Patch16(archive.bytes, archive.localOffsets[2] + 30 + 9 + 2, 8);
    // The fourth entry's local sizes become markers with no field behind.
    test::Patch32(archive.bytes, archive.localOffsets[3] + 18, 0xFFFFFFFF);
    test::Patch32(archive.bytes, archive.localOffsets[3] + 22, 0xFFFFFFFF);
    test::UseZip64End(archive, true);
    ASSERT_TRUE(LoadBytes("#!/bin/sh\nexit 0\n" + archive.bytes));
    EXPECT_EQ(Extract("d.txt"), kExtractOk);
    EXPECT_EQ(Extract("s.txt"), kExtractOk);
    EXPECT_EQ(Extract("short.txt"), kExtractBadHeader);
    EXPECT_EQ(Extract("plain.txt"), kExtractOk);
    EXPECT_EQ(ReadFile(At("d.txt")), kBig);
    EXPECT_EQ(ReadFile(At("s.txt")), kBig.substr(0, 5000));
    EXPECT_EQ(ReadFile(At("plain.txt")), "plain");
    EXPECT_FALSE(PathExists(At("short.txt")));
}

TEST_F(ExtractEntryTest, PrefixIsRemovedAndAShorterNameIsAnInternalError) {
    ASSERT_TRUE(Load({{"Docs/sub/x.txt", "x"}, {"y.txt", "y"}}));
    EXPECT_EQ(Extract("Docs/sub/x.txt", "Docs/sub"), kExtractOk);
    EXPECT_EQ(ReadFile(At("x.txt")), "x");
    EXPECT_EQ(Extract("y.txt", "Docs/sub"), kExtractNameTooShort);
    EXPECT_EQ(ExtractReasonText(kExtractNameTooShort), "Internal error.");
    EXPECT_EQ(Tree(), (std::vector<std::string>{"target", "target/x.txt"}));
}

TEST_F(ExtractEntryTest, NamesLeadingOutOfTheTargetWriteNothing) {
    ASSERT_TRUE(Load({{"../evil.txt", "e"}, {"a/../../evil2.txt", "e"}, {"Docs/../../evil3.txt", "e"},
                      {"ok/..", "e"}, {"/abs.txt", "a"}, {"/tmp-evil/..//x/", ""}}));
    EXPECT_EQ(Extract("../evil.txt"), kExtractCannotCreate);
    EXPECT_EQ(Extract("a/../../evil2.txt"), kExtractCannotCreate);
    // Climbs out only once the prefix is gone.
    EXPECT_EQ(Extract("Docs/../../evil3.txt", "Docs"), kExtractCannotCreate);
    EXPECT_EQ(Extract("ok/.."), kExtractCannotCreate);
    EXPECT_EQ(Extract("tmp-evil/..//x/"), kExtractCannotCreate);
    // A leading slash was dropped at loading: it lands inside.
    EXPECT_EQ(Extract("abs.txt"), kExtractOk);
    EXPECT_EQ(ExtractReasonText(kExtractCannotCreate), "Can't create target file.");
    EXPECT_EQ(Tree(), (std::vector<std::string>{"target", "target/abs.txt"}));
}

TEST_F(ExtractEntryTest, OddNamesKeepEveryByteAndStayInside) {
    // Trailing blanks and control characters are part of a name here; a
    // backslash is an ordinary character; empty levels collapse.
    ASSERT_TRUE(Load({{"dir /x.txt", "x"}, {"tab\t/", "", kMethodStored}, {"..\\b.txt", "b"},
                      {"a//c.txt", "c"}, {"line\nbreak.txt", "n"}}));
    for (const char* name : {"dir /x.txt", "tab\t/", "..\\b.txt", "a//c.txt", "line\nbreak.txt"})
        EXPECT_EQ(Extract(name), kExtractOk) << name;
    EXPECT_EQ(ReadFile(At("dir /x.txt")), "x");
    EXPECT_EQ(ReadFile(At("a/c.txt")), "c");
    EXPECT_EQ(Tree(), (std::vector<std::string>{"target", "target/..\\b.txt", "target/a",
                                                "target/a/c.txt", "target/dir ",
                                                "target/dir /x.txt", "target/line\nbreak.txt",
                                                "target/tab\t"}));
}

TEST_F(ExtractEntryTest, PathsTooLongForTheSystemAndAMissingTargetWriteNothing) {
    std::string deep;
    for (int i = 0; i < 25; ++i) deep += std::string(200, static_cast<char>('a' + i)) + "/";
    ASSERT_TRUE(Load({{deep + "f.txt", "f"}, {deep, "", kMethodStored}, {"kivo-no-root.txt", "r"}}));
    EXPECT_EQ(Extract(deep + "f.txt"), kExtractCannotCreate);
    EXPECT_EQ(Extract(deep), kExtractCannotCreate);
    EXPECT_EQ(Tree(), (std::vector<std::string>{"target"}));
    // No target folder must not mean the root.
    EXPECT_EQ(ExtractEntry(Entry("kivo-no-root.txt"), directory_.ArchiveFile(), "", "", nullptr,
                           progress_, false),
              kExtractCannotCreate);
    EXPECT_FALSE(PathExists("/kivo-no-root.txt"));
}

TEST_F(ExtractEntryTest, LinksBelowTheTargetAreNotFollowed) {
    ASSERT_TRUE(Load({{"link/x.txt", "x"}, {"link/sub/", "", kMethodStored}}));
    std::filesystem::create_directories(scratch_ / "elsewhere");
    ASSERT_EQ(::symlink((scratch_ / "elsewhere").c_str(), At("link").c_str()), 0);
    EXPECT_EQ(Extract("link/x.txt"), kExtractCannotCreate);
    EXPECT_EQ(Extract("link/sub/"), kExtractCannotCreate);
    EXPECT_TRUE(std::filesystem::is_empty(scratch_ / "elsewhere"));
}

TEST_F(ExtractEntryTest, PasswordsDecideAndRefusalCreatesNothing) {
    Member deflated{"sec.txt", kBig};
    deflated.password = "s3cret";
    Member stored{"sec.bin", "stored secret", kMethodStored};
    stored.password = "s3cret";
    ASSERT_TRUE(Load({deflated, stored}));
    const std::string wrong = "wrong", empty, right = "s3cret";
    for (const std::string* password : {static_cast<const std::string*>(nullptr), &wrong, &empty}) {
        EXPECT_EQ(Extract("sec.txt", "", password), kExtractBadPassword);
        EXPECT_EQ(Extract("sec.bin", "", password), kExtractBadPassword);
    }
    EXPECT_EQ(ExtractReasonText(kExtractBadPassword), "Incorrect password.");
    EXPECT_EQ(Tree(), (std::vector<std::string>{"target"}));
    EXPECT_EQ(Extract("sec.txt", "", &right), kExtractOk);
    EXPECT_EQ(Extract("sec.bin", "", &right), kExtractOk);
    EXPECT_EQ(ReadFile(At("sec.txt")), kBig);
    EXPECT_EQ(ReadFile(At("sec.bin")), "stored secret");
}

TEST_F(ExtractEntryTest, PasswordCheckByteFollowsTheWritersConvention) {
    // Byte 10 filled at random, byte 11 the CRC's top byte: opens.
    Member oneByte{"one.txt", kBig};
    oneByte.password = "pw";
    oneByte.byte10Noise = 0x5A;
    // Written as a stream: byte 11 is the top byte of the DOS time.
    Member streamed{"stream.txt", "streamed secret", kMethodStored};
    streamed.password = "pw";
    streamed.dataDescriptor = true;
    ASSERT_TRUE(Load({oneByte, streamed}));
    const std::string right = "pw", wrong = "Wrong";
    EXPECT_EQ(Extract("one.txt", "", &wrong), kExtractBadPassword);
    EXPECT_EQ(Extract("stream.txt", "", &wrong), kExtractBadPassword);
    EXPECT_EQ(Tree(), (std::vector<std::string>{"target"}));
    EXPECT_EQ(Extract("one.txt", "", &right), kExtractOk);
    EXPECT_EQ(Extract("stream.txt", "", &right), kExtractOk);
    EXPECT_EQ(ReadFile(At("one.txt")), kBig);
    EXPECT_EQ(ReadFile(At("stream.txt")), "streamed secret");
}

TEST_F(ExtractEntryTest, DamagedEntriesFailAndKeepTheExistingFile) {
    const auto archive = test::BuildArchive(
        {{"crc.txt", "checked"}, {"inflate.txt", kBig}, {"method.txt", "m"},
         {"header.txt", "h"}, {"short.bin", "s", kMethodStored}});
    std::string bytes = archive.bytes;
    // crc.txt: the local CRC no longer matches.
    bytes[archive.localOffsets[0] + 14] ^= 0x5A;
    // inflate.txt: a byte in the middle of the deflate stream.
    bytes[archive.localOffsets[1] + 30 + 11 + 2000] ^= 0xFF;
    // method.txt: method 98 (PPMd) locally, which is not decoded.
    test::Patch16(bytes, archive.localOffsets[2] + 8, 98);
    // header.txt: not a local header signature.
    bytes[archive.localOffsets[3]] = 'Q';
    // short.bin: an encrypted entry too short for its encryption header.
    test::Patch16(bytes, archive.localOffsets[4] + 6, kFlagEncrypted);
    ASSERT_TRUE(LoadBytes(bytes));

    for (const char* name : {"crc.txt", "inflate.txt", "method.txt", "header.txt", "short.bin"})
        test::WriteFile(At(name), "old content");
    const std::string password = "x";
    EXPECT_EQ(Extract("crc.txt"), kExtractCrcError);
    const int inflated = Extract("inflate.txt");
    EXPECT_TRUE(inflated == kExtractCrcError || inflated == kExtractInflateError) << inflated;
    EXPECT_EQ(Extract("method.txt"), kExtractBadMethod);
    EXPECT_EQ(Extract("header.txt"), kExtractBadHeader);
    EXPECT_EQ(Extract("short.bin", "", &password), kExtractBadHeader);
    for (const char* name : {"crc.txt", "inflate.txt", "method.txt", "header.txt", "short.bin"})
        EXPECT_EQ(ReadFile(At(name)), "old content") << name;
    EXPECT_EQ(Tree().size(), 6u);  // no temporary file left
    EXPECT_EQ(ExtractReasonText(kExtractCrcError), "CRC error.");
    for (int code : {kExtractBadHeader, kExtractBadMethod, kExtractInflateError})
        EXPECT_EQ(ExtractReasonText(code), "Unknow zip file format or compress method.");
}

TEST_F(ExtractEntryTest, GarbageDeflateDataIsAFormatError) {
    auto archive = test::BuildArchive({{"g.txt", kBig}});
    std::string& bytes = archive.bytes;
    // Block type 3 does not exist.
    bytes[archive.localOffsets[0] + 30 + 5] = static_cast<char>(0x07);
    ASSERT_TRUE(LoadBytes(bytes));
    EXPECT_EQ(Extract("g.txt"), kExtractInflateError);
    EXPECT_FALSE(PathExists(At("g.txt")));
}

TEST_F(ExtractEntryTest, TruncatedArchiveIsAReadError) {
    ASSERT_TRUE(Load({{"t.txt", kBig}}));
    // Cut the data under the loaded directory.
    ASSERT_EQ(::truncate((scratch_ / "in.zip").c_str(), 30 + 5 + 100), 0);
    EXPECT_EQ(Extract("t.txt"), kExtractReadError);
    EXPECT_EQ(ExtractReasonText(kExtractReadError), "zip file reading error.");
    EXPECT_FALSE(PathExists(At("t.txt")));
}

TEST_F(ExtractEntryTest, PlatformFailuresLeaveNoPartialFileAndTheOldOneIntact) {
    ASSERT_TRUE(Load({{"f.txt", kBig}, {"s.bin", kBig, kMethodStored}, {"dir/", "", kMethodStored},
                      {"new.txt", kBig}}));
    struct Case {
        const char* name;
        faults::Call call;
        unsigned nth;
        const char* pathPart;
        int code;
    };
    const std::vector<Case> cases = {
        // The local header is read once for its extra fields' time first.
        {"f.txt", faults::Call::Read, 3, "in.zip", kExtractReadError},
        {"s.bin", faults::Call::Read, 4, "in.zip", kExtractReadError},
        {"f.txt", faults::Call::Open, 1, "target/f.txt", kExtractCannotCreate},
        {"new.txt", faults::Call::Open, 1, "target/new.txt", kExtractCannotCreate},
        {"new.txt", faults::Call::Write, 2, "target/new.txt", kExtractWriteError},
        {"new.txt", faults::Call::Read, 4, "in.zip", kExtractReadError},
        {"f.txt", faults::Call::Write, 3, "target/f.txt", kExtractWriteError},
        {"s.bin", faults::Call::Write, 1, "target/s.bin", kExtractWriteError},
        {"s.bin", faults::Call::Rename, 1, "target/s.bin", kExtractCannotCreate},
        {"new.txt", faults::Call::SetAttributes, 1, "target/new.txt", kExtractWriteError},
        {"dir/", faults::Call::Mkdir, 1, "target/dir", kExtractCannotCreate},
    };
    test::WriteFile(At("f.txt"), "old");
    test::WriteFile(At("s.bin"), "old");
    for (const Case& c : cases) {
        faults::Guard guard;
        faults::Arm(c.call, EIO, c.nth, 1, c.pathPart);
        EXPECT_EQ(Extract(c.name), c.code) << c.name << " " << static_cast<int>(c.call);
        EXPECT_EQ(faults::FiredCount(), 1u) << c.name;
        // An existing file stays as it was; a new one does not appear.
        const std::string name = c.name;
        if (name == "f.txt" || name == "s.bin") {
            EXPECT_EQ(ReadFile(At(c.name)), "old") << c.name;
        }
        EXPECT_EQ(Tree(), (std::vector<std::string>{"target", "target/f.txt", "target/s.bin"}))
            << c.name;
    }
    EXPECT_EQ(ExtractReasonText(kExtractWriteError), "Target file writing error.");
}

TEST_F(ExtractEntryTest, FlushEveryTwoMegabytesAndAFailedFlushIsAWriteError) {
    std::string large(5 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 31 / 7);
    ASSERT_TRUE(Load({{"large.bin", large}}));
    {
        faults::Guard guard;
        faults::Arm(faults::Call::Flush, EIO, 3, 1, "/target/");
        EXPECT_EQ(Extract("large.bin"), kExtractOk);
        EXPECT_EQ(faults::FiredCount(), 0u);  // two flushes for five megabytes
    }
    {
        faults::Guard guard;
        faults::Arm(faults::Call::Flush, EIO, 2, 1, "/target/");
        EXPECT_EQ(Extract("large.bin"), kExtractWriteError);
        EXPECT_EQ(faults::FiredCount(), 1u);
    }
    EXPECT_EQ(ReadFile(At("large.bin")), large);
}

TEST_F(ExtractEntryTest, CancelInsideAnEntryRemovesItsFile) {
    ASSERT_TRUE(Load({{"c.txt", kBig}, {"c.bin", kBig, kMethodStored}}));
    test::WriteFile(At("c.bin"), "old");
    for (const char* name : {"c.txt", "c.bin"}) {
        CancelAfter cancel(1);
        EXPECT_EQ(ExtractEntry(Entry(name), directory_.ArchiveFile(), Target(), "", nullptr, cancel,
                               false),
                  kExtractCancelled);
        EXPECT_TRUE(ExtractReasonText(kExtractCancelled).empty());
    }
    EXPECT_FALSE(PathExists(At("c.txt")));
    EXPECT_EQ(ReadFile(At("c.bin")), "old");
    EXPECT_EQ(Tree().size(), 2u);
}

TEST_F(ExtractEntryTest, SkipExistingLeavesTheFileAndCountsItsSize) {
    ASSERT_TRUE(Load({{"k.txt", kBig}, {"new.txt", "n"}}));
    test::WriteFile(At("k.txt"), "keep me");
    EXPECT_EQ(Extract("k.txt", "", nullptr, true), kExtractOk);
    EXPECT_EQ(ReadFile(At("k.txt")), "keep me");
    EXPECT_EQ(progress_.Done(), kBig.size());
    EXPECT_EQ(Extract("new.txt", "", nullptr, true), kExtractOk);
    EXPECT_EQ(ReadFile(At("new.txt")), "n");
    // Without the flag the file is replaced, read-only or not.
    ::chmod(At("k.txt").c_str(), 0444);
    EXPECT_EQ(Extract("k.txt"), kExtractOk);
    EXPECT_EQ(ReadFile(At("k.txt")), kBig);
}

TEST_F(ExtractEntryTest, FolderInTheWayOfAFile) {
    ASSERT_TRUE(Load({{"x", "file"}}));
    std::filesystem::create_directories(At("x"));
    EXPECT_EQ(Extract("x"), kExtractCannotCreate);
    EXPECT_TRUE(IsFolder(At("x")));
}

}  // namespace
}  // namespace kivo::zip
