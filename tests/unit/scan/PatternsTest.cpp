#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/FileSet.h"
#include "scan/Patterns.h"

namespace kivo {
namespace {

using Patterns = std::vector<std::string>;

TEST(ParsePatterns, SplitsAtEverySeparatorAndDropsEmptyPieces) {
    struct Case {
        std::string text;
        Patterns expected;
    };
    const Case cases[] = {
        {"*.html;*.text,*.gif\r\n;;", {"*.html", "*.text", "*.gif"}},
        {" ;\t, \r\n ;", {}},
        {"", {}},
        {"  *.a  \t", {"*.a"}},
        {"a\r\nb\r\n\r\nc", {"a", "b", "c"}},
        // A bare line feed (a multi-line box's line break) separates too; a
        // lone carriage return is only white space at the ends.
        {"*.html\n*.gif\n", {"*.html", "*.gif"}},
        {"a\n\r\nb", {"a", "b"}},
        {"\n*.x\n", {"*.x"}},
        {"a\rb", {"a\rb"}},
        {"*.a;*.a", {"*.a", "*.a"}},
        {"one two", {"one two"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParsePatterns(c.text), c.expected) << "text: " << c.text;
    }
}

TEST(ParsePatterns, EmptiesTheTargetFirst) {
    Patterns list = {"old"};
    ParsePatterns("new", list);
    EXPECT_EQ(list, Patterns{"new"});
    ParsePatterns(";;", list);
    EXPECT_TRUE(list.empty());
}

TEST(JoinPatterns, SemicolonAndOneSpace) {
    EXPECT_EQ(JoinPatterns({"*.html", "*.text", "*.gif"}), "*.html; *.text; *.gif");
    EXPECT_EQ(JoinPatterns({"*.a"}), "*.a");
    EXPECT_EQ(JoinPatterns({}), "");
    // The display form parses back into the same list.
    const Patterns list = {"a b", "*.c", "x?"};
    EXPECT_EQ(ParsePatterns(JoinPatterns(list)), list);
}

struct MatchCase {
    const char* pattern;
    const char* text;
    bool caseSensitive;
    bool expected;
};

TEST(WildcardMatch, Table) {
    const MatchCase cases[] = {
        // End anchoring: the leftmost ".zip" is final, so a later one cannot help.
        {"*.zip", "a.zip", false, true},
        {"*.zip", "A.ZIP", false, true},
        {"*.zip", "a.zip.zip", false, false},
        {"*.zip*", "a.zip.zip", false, true},
        {"*.zip*", "a.zip", false, true},
        {"*.*", "README", false, false},
        {"*.*", "a.b", false, true},
        // The first segment floats: it is not tied to the start.
        {"b.zip", "ab.zip", false, true},
        {"b.zip", "b.zip", false, true},
        {"b.zip", "b.zipx", false, false},
        {"ab*", "xaby", false, true},
        {"ab*", "xa", false, false},
        {"a*", "a", false, true},
        {"*a", "ba", false, true},
        {"*a", "bab", false, false},
        {"*b*c", "abxbc", false, true},
        // No backtracking: the last segment is taken at its leftmost
        // occurrence and must end the text there; a shell would match.
        {"*bc", "abcbc", false, false},
        {"a*c", "abcbc", false, false},
        {"x*y*z", "xyyz", false, true},
        // The segment matches first at index 0 ('?' takes the second 'a')
        // and does not reach the end; the later "abc" is never tried.
        {"ab?", "ababc", false, false},
        {"a?c", "abcabc", false, false},
        // '?' requires a byte to be there.
        {"?", "a", false, true},
        {"?", "", false, false},
        {"?", "ab", false, false},
        {"a?", "a", false, false},
        {"??", "ab", false, true},
        {"*?", "a", false, true},
        // A trailing star makes any tail acceptable.
        {"*", "anything", false, true},
        {"*", "", false, false},
        {"**", "a", false, true},
        {"a", "", false, false},
        {"", "", false, true},
        {"", "a", false, false},
        // Only A-Z fold; bytes 128 to 255 are compared exactly.
        {"\xC3\x84.txt", "\xC3\x84.TXT", false, true},
        {"\xC3\xA4.txt", "\xC3\x84.txt", false, false},
        {"\xC4", "\xE4", false, false},
        {"[", "{", false, false},
        {"@", "`", false, false},
        {"Z", "z", false, true},
        // Case-sensitive: no folding, every other rule the same.
        {"*.zip", "A.ZIP", true, false},
        {"*.ZIP", "A.ZIP", true, true},
        {"b.zip", "ab.zip", true, true},
        {"*.zip", "a.zip.zip", true, false},
        // '.' and '\' are ordinary bytes.
        {"a.c", "abc", false, false},
        {"a\\c", "a\\c", false, true},
    };
    for (const MatchCase& c : cases) {
        EXPECT_EQ(WildcardMatch(c.pattern, c.text, c.caseSensitive), c.expected)
            << "pattern '" << c.pattern << "' text '" << c.text << "' case-sensitive "
            << c.caseSensitive;
        EXPECT_EQ(WildcardMatch(std::string_view(c.pattern), std::string_view(c.text),
                                c.caseSensitive),
                  c.expected)
            << "(string_view) pattern '" << c.pattern << "' text '" << c.text << "'";
    }
}

TEST(WildcardMatch, NullNeverMatches) {
    EXPECT_FALSE(WildcardMatch(nullptr, "a"));
    EXPECT_FALSE(WildcardMatch("*", nullptr));
    EXPECT_FALSE(WildcardMatch(nullptr, nullptr));
}

TEST(WildcardMatch, StopsAtTheEndOfAViewThatIsNotTerminated) {
    // The text is the first three bytes of a longer buffer.
    const char buffer[] = "abcdef";
    EXPECT_TRUE(WildcardMatch("*c", std::string_view(buffer, 3)));
    EXPECT_FALSE(WildcardMatch("*d", std::string_view(buffer, 3)));
    EXPECT_FALSE(WildcardMatch("abc?", std::string_view(buffer, 3)));
}

SetEntry MakeEntry(Patterns patterns, int filterMode) {
    SetEntry entry;
    entry.patterns = std::move(patterns);
    entry.filterMode = filterMode;
    return entry;
}

TEST(AcceptsFile, IncludeExcludeAndWholePathPatterns) {
    struct Case {
        Patterns patterns;
        int mode;
        const char* folder;
        const char* name;
        bool expected;
    };
    const Case cases[] = {
        // An empty list takes everything, whatever the mode.
        {{}, 0, "/d", "x.bin", true},
        {{}, 1, "/d", "x.bin", true},
        {{"*.html", "*.gif"}, 0, "/d", "index.html", true},
        {{"*.html", "*.gif"}, 0, "/d", "index.txt", false},
        {{"*.html", "*.gif"}, 1, "/d", "index.html", false},
        {{"*.html", "*.gif"}, 1, "/d", "index.txt", true},
        {{"*.html", "*.gif"}, 7, "/d", "a.GIF", false},
        // A pattern with a separator sees the whole path, in any letter case.
        {{"*/temp/*"}, 0, "/d/TEMP", "a.txt", true},
        {{"*/temp/*"}, 0, "/d/sub/Temp/deeper", "a.txt", true},
        {{"*/temp/*"}, 0, "/d/temporary", "a.txt", false},
        {{"*/temp/*"}, 1, "/d/temp", "a.txt", false},
        {{"*/temp/*"}, 1, "/d/other", "a.txt", true},
        // The path is normalised before matching.
        {{"*d/x/*"}, 0, "/d//x/", "a.txt", true},
        {{"/a.txt"}, 0, "/", "a.txt", true},
        // Without a separator the pattern never looks at the folder.
        {{"*temp*"}, 0, "/d/temp", "a.txt", false},
        // A later whole-path pattern after a name pattern.
        {{"*.c", "*/src/*"}, 0, "/p/src", "main.h", true},
        {{"*.c", "*/src/*"}, 0, "/p/inc", "main.h", false},
    };
    for (const Case& c : cases) {
        const SetEntry entry = MakeEntry(c.patterns, c.mode);
        EXPECT_EQ(AcceptsFile(entry, c.folder, c.name), c.expected)
            << "folder " << c.folder << " name " << c.name << " mode " << c.mode
            << " first pattern " << (c.patterns.empty() ? "" : c.patterns[0]);
    }
}

}  // namespace
}  // namespace kivo
