#pragma once
// The program's texts, by string-table id. Every user-visible message comes
// from here, exactly as the program has always worded it.
#include <initializer_list>
#include <string>
#include <string_view>

namespace kivo {

enum StringId : int {
    IDS_COL_EXT = 5001,
    IDS_COL_FILE_TYPE = 5002,
    IDS_COL_FILE_COUNT = 5003,
    IDS_COL_TOTAL_SIZE = 5004,
    IDS_ALL_FILES = 5008,
    IDS_INCLUDE_ONLY = 5009,
    IDS_EXCLUDE = 5010,
    IDS_ROW_DELETE = 5011,
    IDS_ROW_COPY = 5012,
    IDS_ROW_MOVE = 5013,
    IDS_ROW_ZIP = 5014,
    IDS_ERROR_OPEN_READ = 5016,
    IDS_OUT_OF_MEMORY = 5017,
    IDS_ERROR_CREATE_FILE = 5018,
    IDS_ERROR_READING_FILE = 5019,
    IDS_ERROR_WRITING_FILE = 5020,
    IDS_CANNOT_DELETE_FILE = 5021,
    IDS_CANNOT_ERASE_FILE = 5022,
    IDS_ZIP_FILTER = 5023,
    IDS_ERROR_MAKING_ZIP = 5024,
    IDS_REMOVE_OPERATION = 5025,
    IDS_REMOVE_SETS = 5026,
    IDS_UNTITLED_SET = 5027,
    IDS_PHASE_COPYING = 5029,
    IDS_PHASE_DELETING = 5030,
    IDS_PHASE_MOVING = 5031,
    IDS_PHASE_COMPRESSING = 5032,
    IDS_CANNOT_OPEN_ZIP = 5038,
    IDS_COL_NAME = 5039,
    IDS_COL_TYPE = 5040,
    IDS_COL_SIZE = 5041,
    IDS_COL_TIME = 5042,
    IDS_INTERNAL_ERROR = 5043,
    IDS_CANNOT_CREATE_TARGET = 5044,
    IDS_UNKNOWN_FORMAT = 5045,
    IDS_INCORRECT_PASSWORD = 5046,
    IDS_EXTRACT_OUT_OF_MEMORY = 5047,
    IDS_ZIP_READING_ERROR = 5048,
    IDS_TARGET_WRITING_ERROR = 5049,
    IDS_CRC_ERROR = 5050,
    IDS_EXTRACT_FAILED = 5051,
    IDS_EXTRACT_RETRY = 5052,
    IDS_ROW_UNZIP = 5053,
    IDS_FILES_COUNTER = 5054,
    IDS_CANNOT_CREATE_FOLDER = 5055,
    IDS_COPY_INTO_ITSELF = 5056,
    IDS_NOTICE_NOT_ERASED = 5057,
    IDS_NOTICE_KEPT_DESTINATION = 5058,
    IDS_NOTICE_NOT_FOUND = 5059,
    IDS_NOTICE_LINK_AS_FILE = 5070,
    IDS_UNSUPPORTED_ENCRYPTION = 5060,
    IDS_ERASE_KEPT_GROWING = 5080,
    IDS_NOTICE_LINK_NOT_FOLLOWED = 5081,
    IDS_FILE_CHANGED_WHILE_COPIED = 5082,
    IDS_SET_HOLDS_DATA_FOLDER = 5083,
    IDS_NOTICE_NOT_FULL_PATH = 5090,
    IDS_WHOLE_NUMBER_RANGE = 5091,
    IDS_STORED_AS = 5092,
    IDS_WHOLE_FILE_SYSTEM = 5093,
    IDS_AMBIGUOUS_NAME = 5094,
};

// The text of an id; empty for an unknown id.
std::string LoadText(int id);

// Fills a table text's "%s" and "%u" conversions in order, safe for
// arguments of any length. "%%" gives one '%'; any other '%' is kept as it
// stands. A conversion without an argument becomes empty.
std::string FormatText(int id, const std::string& arg);
std::string FormatText(int id, const std::string& arg1, const std::string& arg2);
std::string FormatText(int id, unsigned value);

// The same substitution on any format text; each argument is already text.
std::string FormatWith(std::string_view format, std::initializer_list<std::string_view> args);

}  // namespace kivo
