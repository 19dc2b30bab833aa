#pragma once
// The main window's template: its size and controls in dialog units.
namespace kivo::main_window {

inline constexpr char kCaption[] = "Kivo";
inline constexpr int kWidth = 372;
inline constexpr int kHeight = 220;

enum ControlId : int {
    ID_SET_LIST = 1000,
    ID_SET_NEW = 1001,
    ID_SET_REMOVE = 1002,
    ID_SET_PROPERTY = 1003,
    ID_OPERATION_LIST = 1004,
    ID_OPERATION_NEW = 1005,
    ID_OPERATION_PROPERTY = 1006,
    ID_OPERATION_REMOVE = 1007,
    ID_RUN = 1008,
    ID_EXIT = 1019,
    ID_ABOUT = 1047,
    ID_CONFIGURE = 1062,
    ID_SET_GROUP = 1065,
    ID_OPERATION_GROUP = 1066,
};

struct ControlTemplate {
    int id;
    const char* text;
    int x, y, width, height;
};

inline constexpr ControlTemplate kControls[] = {
    {ID_SET_GROUP, "Kivo List", 7, 7, 150, 186},
    {ID_SET_LIST, "", 13, 18, 138, 154},
    {ID_SET_NEW, "New...", 13, 174, 45, 14},
    {ID_SET_PROPERTY, "Property...", 59, 174, 45, 14},
    {ID_SET_REMOVE, "Remove", 105, 174, 45, 14},
    {ID_OPERATION_GROUP, "Operation", 169, 7, 196, 186},
    {ID_OPERATION_LIST, "", 175, 18, 184, 155},
    {ID_OPERATION_NEW, "New...", 175, 174, 45, 14},
    {ID_OPERATION_PROPERTY, "Property...", 221, 174, 45, 14},
    {ID_OPERATION_REMOVE, "Remove", 267, 174, 45, 14},
    {ID_RUN, "Run", 313, 174, 45, 14},
    {ID_ABOUT, "About...", 7, 199, 50, 14},
    {ID_CONFIGURE, "Configure...", 58, 199, 50, 14},
    {ID_EXIT, "Exit", 315, 199, 50, 14},
};

}  // namespace kivo::main_window
