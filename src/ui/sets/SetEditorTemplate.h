#pragma once
// The set editor's template ("Kivo Property"): its size and controls in
// dialog units.
#include "ui/common/DialogTemplate.h"

namespace kivo::set_editor {

inline constexpr char kCaption[] = "Kivo Property";
inline constexpr int kWidth = 372;
inline constexpr int kHeight = 220;
inline constexpr int kNameLimit = 24;
inline constexpr int kPathColumnWidth = 180;
inline constexpr int kDescriptionColumnWidth = 600;

enum ControlId : int {
    ID_OK = 1,
    ID_CANCEL = 2,
    ID_NAME = 1005,
    ID_ADD_FILES = 1006,
    ID_ADD_FOLDERS = 1007,
    ID_REMOVE = 1008,
    ID_ENTRIES = 1009,
    ID_PROPERTY = 1010,
    ID_NAME_LABEL = -1,
    ID_GROUP = -2,
};

inline constexpr DialogControl kControls[] = {
    {ID_NAME_LABEL, "Kivo Name:", 7, 9, 42, 10},
    {ID_NAME, "", 50, 7, 116, 12},
    {ID_GROUP, "Files && Folders", 7, 24, 358, 170},
    {ID_ENTRIES, "", 13, 36, 345, 135},
    {ID_ADD_FILES, "Add Files...", 13, 175, 60, 14},
    {ID_ADD_FOLDERS, "Add Folders...", 74, 175, 60, 14},
    {ID_PROPERTY, "Property...", 135, 175, 60, 14},
    {ID_REMOVE, "Remove", 196, 175, 60, 14},
    {ID_OK, "OK", 264, 199, 50, 14},
    {ID_CANCEL, "Cancel", 315, 199, 50, 14},
};

}  // namespace kivo::set_editor
