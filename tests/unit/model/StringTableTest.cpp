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

TEST(StringTableTest, EveryKnownIdHasText) {
    const int ids[] = {5001, 5002, 5003, 5004, 5008, 5009, 5010, 5011, 5012, 5013, 5014,
                       5016, 5017, 5018, 5019, 5020, 5021, 5022, 5023, 5024, 5025, 5026,
                       5027, 5029, 5030, 5031, 5032, 5038, 5039, 5040, 5041, 5042, 5043,
                       5044, 5045, 5046, 5047, 5048, 5049, 5050, 5051, 5052, 5053, 5054, 5055};
    for (int id : ids) EXPECT_FALSE(LoadText(id).empty()) << id;
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
