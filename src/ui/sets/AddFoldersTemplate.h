#pragma once
// The "Add Folders" template: its size and controls in dialog units.
#include "ui/common/DialogTemplate.h"

namespace kivo::add_folders {

inline constexpr char kCaption[] = "Add Folders";
inline constexpr int kWidth = 372;
inline constexpr int kHeight = 266;
// Character height of the filter box's fixed-pitch font, in pixels.
inline constexpr int kFilterFontPixels = 16;

enum ControlId : int {
    ID_OK = 1,
    ID_CANCEL = 2,
    ID_INCLUDE_SUBFOLDERS = 1012,
    ID_ALL_FILES = 1035,
    ID_INCLUDE_LISTED = 1036,
    ID_EXCLUDE_LISTED = 1037,
    ID_FILTER_TEXT = 1038,
    ID_SCAN_TYPES = 1039,
    ID_FOLDER_TREE = 1054,
    ID_SUBFOLDERS = 1055,
    ID_FILTER_GROUP = -1,
    ID_HINT = -2,
};

// The radio buttons' index is the filter type everywhere ("filtertype").
enum FilterType : int { FILTER_ALL = 0, FILTER_INCLUDE = 1, FILTER_EXCLUDE = 2 };

inline constexpr DialogControl kControls[] = {
    {ID_FOLDER_TREE, "", 6, 7, 177, 132},
    {ID_SUBFOLDERS, "", 186, 7, 179, 120},
    {ID_INCLUDE_SUBFOLDERS, "Include sub-folders", 186, 129, 83, 10},
    {ID_FILTER_GROUP, "Filter", 6, 146, 359, 94},
    {ID_ALL_FILES, "All Files", 13, 156, 49, 10},
    {ID_INCLUDE_LISTED, "Include Listed Files Only", 65, 156, 125, 10},
    {ID_EXCLUDE_LISTED, "Exclude Listed Files", 193, 156, 109, 10},
    {ID_FILTER_TEXT, "", 13, 170, 344, 50},
    {ID_HINT, "Seperate filters with ';'. For example: *.html; *.text; *.gif", 13, 225, 192, 10},
    {ID_SCAN_TYPES, "Scan File Types...", 293, 222, 65, 14},
    {ID_OK, "OK", 264, 245, 50, 14},
    {ID_CANCEL, "Cancel", 315, 245, 50, 14},
};

}  // namespace kivo::add_folders
