#include "model/EntryDescription.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TempFolder.h"
#include "model/FileSet.h"

namespace kivo {
namespace {

SetEntry Folder(std::int32_t subfolders, std::int32_t mode, std::vector<std::string> patterns) {
    SetEntry entry;
    entry.includeSubfolders = subfolders;
    entry.filterMode = mode;
    entry.patterns = std::move(patterns);
    return entry;
}

TEST(EntryDescriptionTest, FolderDescriptions) {
    const struct {
        SetEntry entry;
        const char* expected;
    } cases[] = {
        {Folder(1, 1, {}), "Scan Sub-folder; All Files"},
        {Folder(0, 0, {}), "All Files"},
        {Folder(1, 0, {"*.html", "*.gif"}), "Scan Sub-folder; Includ Only: *.html; *.gif"},
        {Folder(0, 1, {"*.html", "*.gif"}), "Exclude: *.html; *.gif"},
        {Folder(0, 5, {"*.c"}), "Exclude: *.c"},
        {Folder(1, 0, {"%s"}), "Scan Sub-folder; Includ Only: %s"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DescribeEntry(c.entry, EntryKind::Folder), c.expected);
    }
}

TEST(EntryDescriptionTest, LooksThePathUpInTheFileSystem) {
    testing::TempFolder folder;
    const std::string file = folder.File("a.txt");
    testing::WriteBytes(file, "x");
    SetEntry entry = Folder(1, 0, {"*.txt"});

    entry.path = file;
    EXPECT_EQ(ClassifyEntry(file), EntryKind::File);
    EXPECT_EQ(DescribeEntry(entry), "Individual File");

    entry.path = folder.path();
    EXPECT_EQ(DescribeEntry(entry), "Scan Sub-folder; Includ Only: *.txt");

    entry.path = folder.File("gone");
    EXPECT_EQ(ClassifyEntry(entry.path), EntryKind::Missing);
    EXPECT_EQ(DescribeEntry(entry), "");

    // Not taken from the working folder, though it holds both names.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    std::filesystem::create_directory(folder.File("sub"));
    for (const char* relative : {"a.txt", "sub", ".", "./a.txt"}) {
        EXPECT_EQ(ClassifyEntry(relative), EntryKind::Missing) << relative;
    }
    std::filesystem::current_path(before);
}

}  // namespace
}  // namespace kivo
