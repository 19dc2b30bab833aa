#include "model/StringTable.h"

#include <string>

namespace kivo {

namespace {

struct Entry {
    int id;
    const char* text;
};

// Wording, spelling and line breaks are the program's own; users and their
// documentation know these texts as they are.
constexpr Entry kTable[] = {
    {IDS_COL_EXT, "Ext"},
    {IDS_COL_FILE_TYPE, "File Type"},
    {IDS_COL_FILE_COUNT, "File Count"},
    {IDS_COL_TOTAL_SIZE, "Total Size"},
    {IDS_ALL_FILES, "All Files"},
    {IDS_INCLUDE_ONLY, "Includ Only: %s"},
    {IDS_EXCLUDE, "Exclude: %s"},
    {IDS_ROW_DELETE, "Delete"},
    {IDS_ROW_COPY, "Copy"},
    {IDS_ROW_MOVE, "Move"},
    {IDS_ROW_ZIP, "Zip"},
    {IDS_ERROR_OPEN_READ, "Error open file read:\r\n%s"},
    {IDS_OUT_OF_MEMORY, "Out of memory."},
    {IDS_ERROR_CREATE_FILE, "Error create file:\r\n%s"},
    {IDS_ERROR_READING_FILE, "Error reading file:\r\n%s"},
    {IDS_ERROR_WRITING_FILE, "Error writting file:\r\n%s"},
    {IDS_CANNOT_DELETE_FILE, "Can not delete file:\r\n%s"},
    {IDS_CANNOT_ERASE_FILE, "Can not erase file:\r\n%s"},
    {IDS_ZIP_FILTER, "Zip Files|*.zip||"},
    {IDS_ERROR_MAKING_ZIP, "Error making zip file:\r\n%s"},
    {IDS_REMOVE_OPERATION, "Remove [%s]?"},
    {IDS_REMOVE_SETS,
     "Remove selected Kivos?\r\nThis will also remove the Operation binded to this Kivo."},
    {IDS_UNTITLED_SET, "Untitled Kivo %u"},
    {IDS_PHASE_COPYING, "Copying Files..."},
    {IDS_PHASE_DELETING, "Deleting Files..."},
    {IDS_PHASE_MOVING, "Moving Files..."},
    {IDS_PHASE_COMPRESSING, "Compressing..."},
    {IDS_CANNOT_OPEN_ZIP, "Sorry. I can not open or parse this zip file."},
    {IDS_COL_NAME, "Name"},
    {IDS_COL_TYPE, "Type"},
    {IDS_COL_SIZE, "Size"},
    {IDS_COL_TIME, "Time"},
    {IDS_INTERNAL_ERROR, "Internal error."},
    {IDS_CANNOT_CREATE_TARGET, "Can't create target file."},
    {IDS_UNKNOWN_FORMAT, "Unknow zip file format or compress method."},
    {IDS_INCORRECT_PASSWORD, "Incorrect password."},
    {IDS_EXTRACT_OUT_OF_MEMORY, "Out of memory."},
    {IDS_ZIP_READING_ERROR, "zip file reading error."},
    {IDS_TARGET_WRITING_ERROR, "Target file writing error."},
    {IDS_CRC_ERROR, "CRC error."},
    {IDS_EXTRACT_FAILED, "A error occured while extracting \"%s\":\r\n\r\n    %s"},
    {IDS_EXTRACT_RETRY, "%s\r\n\r\nClick [Start] to retry, or click [Cancel] to close."},
    {IDS_ROW_UNZIP, "UnZip"},
    {IDS_FILES_COUNTER, "%s Files,  %s"},
    {IDS_CANNOT_CREATE_FOLDER, "Can not create folder:\r\n%s"},
    {IDS_COPY_INTO_ITSELF, "Can not copy a folder into itself:\r\n%s"},
    // Notices are one line each: a run may give many.
    {IDS_NOTICE_NOT_ERASED, "Deleted without erasing, another link holds its data: %s"},
    {IDS_NOTICE_KEPT_DESTINATION, "Skipped %s: its destination %s is a file of this run"},
    {IDS_NOTICE_NOT_FOUND, "Not found, skipped: %s"},
    {IDS_NOTICE_LINK_AS_FILE, "Written as a file holding its target, the link could lead outside the target folder: %s"},
    {IDS_UNSUPPORTED_ENCRYPTION, "Unsupported encryption"},
    // The line under "Can not erase file" when the file outgrew every pass.
    {IDS_ERASE_KEPT_GROWING, "The file kept growing while it was overwritten; it was not deleted."},
    {IDS_NOTICE_LINK_NOT_FOLLOWED, "Link not followed, skipped: %s"},
    {IDS_FILE_CHANGED_WHILE_COPIED, "The file changed while it was copied: %s"},
    {IDS_SET_HOLDS_DATA_FOLDER, "This set holds Kivo's own data folder: %s"},
    {IDS_NOTICE_NOT_FULL_PATH, "Not a full path, skipped: %s"},
    {IDS_WHOLE_NUMBER_RANGE, "%s must be a whole number from %s to %s."},
    {IDS_STORED_AS, "Stored as: %s"},
    {IDS_WHOLE_FILE_SYSTEM, "The whole file system cannot be a set entry."},
    {IDS_AMBIGUOUS_NAME, "The name \"%s\" is ambiguous: %s differ only in letter case; give the exact name."},
};

}  // namespace

std::string LoadText(int id) {
    for (const Entry& entry : kTable) {
        if (entry.id == id) return entry.text;
    }
    return std::string();
}

std::string FormatWith(std::string_view format, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(format.size());
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%' || i + 1 == format.size()) {
            out.push_back(c);
            continue;
        }
        const char conversion = format[i + 1];
        if (conversion == '%') {
            out.push_back('%');
            ++i;
        } else if (conversion == 's' || conversion == 'u') {
            if (next != args.end()) out.append(*next++);
            ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string FormatText(int id, const std::string& arg) { return FormatWith(LoadText(id), {arg}); }

std::string FormatText(int id, const std::string& arg1, const std::string& arg2) {
    return FormatWith(LoadText(id), {arg1, arg2});
}

std::string FormatText(int id, unsigned value) {
    return FormatWith(LoadText(id), {std::to_string(value)});
}

}  // namespace kivo
