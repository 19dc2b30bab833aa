#include "model/StringTable.h"

#include <gtest/gtest.h>

#include <string>

namespace kivo {
namespace {

TEST(StringTableTest, TextsKeepTheirOwnWordingAndLineBreaks) {
    EXPECT_EQ(LoadText(IDS_ERROR_WRITING_FILE), "Error writting file:\r\n%s");
    EXPECT_EQ(LoadText(IDS_INCLUDE_ONLY), "Includ Only: %s");
    EXPECT_EQ(LoadText(IDS_FILES_COUNTER), "%s Files,  %s");
    EXPECT_EQ(LoadText(IDS_UNKNOWN_FORMAT), "Unknow zip file format or compress method.");
    EXPECT_EQ(LoadText(4999), "");
    EXPECT_EQ(LoadText(5000), "");
}

TEST(StringTableTest, EveryTextIsWordedExactly) {
    // Typed from the program's string table, odd spellings and the double
    // blank of 5054 included.
    const struct {
        int id;
        const char* text;
    } cases[] = {
        {5001, "Ext"},
        {5002, "File Type"},
        {5003, "File Count"},
        {5004, "Total Size"},
        {5008, "All Files"},
        {5009, "Includ Only: %s"},
        {5010, "Exclude: %s"},
        {5011, "Delete"},
        {5012, "Copy"},
        {5013, "Move"},
        {5014, "Zip"},
        {5016, "Error open file read:\r\n%s"},
        {5017, "Out of memory."},
        {5018, "Error create file:\r\n%s"},
        {5019, "Error reading file:\r\n%s"},
        {5020, "Error writting file:\r\n%s"},
        {5021, "Can not delete file:\r\n%s"},
        {5022, "Can not erase file:\r\n%s"},
        {5023, "Zip Files|*.zip||"},
        {5024, "Error making zip file:\r\n%s"},
        {5025, "Remove [%s]?"},
        {5026, "Remove selected Kivos?\r\nThis will also remove the Operation binded to this Kivo."},
        {5027, "Untitled Kivo %u"},
        {5029, "Copying Files..."},
        {5030, "Deleting Files..."},
        {5031, "Moving Files..."},
        {5032, "Compressing..."},
        {5038, "Sorry. I can not open or parse this zip file."},
        {5039, "Name"},
        {5040, "Type"},
        {5041, "Size"},
        {5042, "Time"},
        {5043, "Internal error."},
        {5044, "Can't create target file."},
        {5045, "Unknow zip file format or compress method."},
        {5046, "Incorrect password."},
        {5047, "Out of memory."},
        {5048, "zip file reading error."},
        {5049, "Target file writing error."},
        {5050, "CRC error."},
        {5051, "A error occured while extracting \"%s\":\r\n\r\n    %s"},
        {5052, "%s\r\n\r\nClick [Start] to retry, or click [Cancel] to close."},
        {5053, "UnZip"},
        {5054, "%s Files,  %s"},
        {5055, "Can not create folder:\r\n%s"},
    };
    for (const auto& c : cases) EXPECT_EQ(LoadText(c.id), c.text) << c.id;
}

TEST(StringTableTest, FormatsArgumentsInOrder) {
    EXPECT_EQ(FormatText(IDS_EXTRACT_FAILED, "dir/a.txt", "CRC error."),
              "A error occured while extracting \"dir/a.txt\":\r\n\r\n    CRC error.");
    EXPECT_EQ(FormatText(IDS_UNTITLED_SET, 12u), "Untitled Kivo 12");
    EXPECT_EQ(FormatText(IDS_UNTITLED_SET, 4294967295u), "Untitled Kivo 4294967295");
    EXPECT_EQ(FormatText(IDS_FILES_COUNTER, "1,234", "5.6 MB"), "1,234 Files,  5.6 MB");
    EXPECT_EQ(FormatText(IDS_CANNOT_DELETE_FILE, "/tmp/100%s%u"),
              "Can not delete file:\r\n/tmp/100%s%u");
}

TEST(StringTableTest, FormatIsSafeForLongArguments) {
    const std::string path(100000, 'p');
    const std::string message = FormatText(IDS_ERROR_CREATE_FILE, path);
    EXPECT_EQ(message, "Error create file:\r\n" + path);
}

TEST(StringTableTest, FormatWithHandlesPercentSignsAndMissingArguments) {
    EXPECT_EQ(FormatWith("100%% %s", {"done"}), "100% done");
    EXPECT_EQ(FormatWith("%d %x %s", {"a"}), "%d %x a");
    EXPECT_EQ(FormatWith("%s and %s", {"one"}), "one and ");
}

}  // namespace
}  // namespace kivo
