// How raw name bytes become the UTF-8 names the program uses.
#include <gtest/gtest.h>

#include "reader_ArchiveBytes.h"
#include "support/TempDir.h"
#include "zip/format/Cp437.h"
#include "zip/format/ZipDirectory.h"

namespace kivo::zip {
namespace {

TEST(Cp437Test, HighBytesBecomeTheirGlyphs) {
    // "Ärger über ß" as a DOS program wrote it, box drawing and the last byte.
    EXPECT_EQ(Cp437ToUtf8("\x8Erger \x81" "ber \xE1"), "Ärger über ß");
    EXPECT_EQ(Cp437ToUtf8("\xC9\xCD\xBB \x9E \xFF"), "╔═╗ ₧ \u00A0");
    EXPECT_EQ(Cp437ToUtf8("plain/ascii.txt"), "plain/ascii.txt");
}

TEST(Cp437Test, Utf8Validity) {
    for (const char* valid : {"", "abc", "Ärger", "€", "😀", "a/ü/b"})
        EXPECT_TRUE(IsValidUtf8(valid)) << valid;
    for (const char* invalid : {"\x81", "\xC3", "\xC0\xAF", "\xE2\x82", "\xED\xA0\x80",
                                "\xF4\x90\x80\x80", "\xFF", "ok\x80"})
        EXPECT_FALSE(IsValidUtf8(invalid)) << invalid;
}

TEST(Cp437Test, FlagOrValidUtf8KeepsTheBytes) {
    EXPECT_EQ(DecodeEntryName("\xC3\xA4.txt", 0), "ä.txt");        // valid UTF-8
    EXPECT_EQ(DecodeEntryName("\x84.txt", 0), "ä.txt");            // code page 437
    EXPECT_EQ(DecodeEntryName("\x84.txt", kFlagUtf8), "\x84.txt");  // the archive's word
}

TEST(Cp437Test, LoadedNamesAndFoldersAreConverted) {
    test::TempDir dir;
    test::Member utf8{"\xC3\x9C" "bersicht/a.txt", "a"};
    utf8.flags = kFlagUtf8;
    const auto archive =
        test::BuildArchive({{"\x9A" "bersicht/b.txt", "b"}, utf8, {"caf\x82.txt", "c"}});
    test::WriteFile(dir / "n.zip", archive.bytes);
    ZipDirectory directory;
    ASSERT_NE(directory.Load(dir / "n.zip"), 0);
    std::vector<std::string> names;
    for (const auto& e : directory.Entries()) names.push_back(e->name);
    EXPECT_EQ(names, (std::vector<std::string>{"Übersicht/", "Übersicht/b.txt",
                                               "Übersicht/a.txt", "café.txt"}));
}

}  // namespace
}  // namespace kivo::zip
