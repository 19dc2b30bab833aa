#pragma once
// The Filter Builder's template: its size and controls in dialog units.
#include "ui/common/DialogTemplate.h"

namespace kivo::filter_builder {

inline constexpr char kCaption[] = "Filter Builder";
inline constexpr int kWidth = 360;
inline constexpr int kHeight = 236;
// The survey starts this long after the window is up, so it shows first.
inline constexpr int kStartDelayMs = 100;
// "Total Files:" follows a running survey at most this often (about 30
// times a second): often enough to look live, rarely enough to cost
// nothing.
inline constexpr int kCountIntervalMs = 33;

enum ControlId : int {
    ID_OK = 1,
    ID_CANCEL = 2,
    ID_TYPE_LIST = 1013,
    ID_CHECK_ALL = 1016,
    ID_REVERSE_CHECK = 1017,
    ID_TOTAL_FILES = 1018,
    ID_CHECKED_FILES = 1019,
    ID_TOTAL_SIZE = 1020,
    ID_CHECKED_SIZE = 1021,
    ID_TOTAL_FILES_LABEL = -1,
    ID_CHECKED_FILES_LABEL = -2,
    ID_TOTAL_SIZE_LABEL = -3,
    ID_CHECKED_SIZE_LABEL = -4,
};

enum Column : int { COL_EXT = 0, COL_TYPE = 1, COL_COUNT = 2, COL_SIZE = 3 };
inline constexpr int kColumnWidths[] = {100, 220, 120, 120};

inline constexpr DialogControl kControls[] = {
    {ID_TYPE_LIST, "", 7, 7, 346, 170},
    {ID_TOTAL_FILES_LABEL, "Total Files:", 7, 183, 52, 10},
    {ID_TOTAL_FILES, "0", 60, 183, 80, 10},
    {ID_CHECKED_FILES_LABEL, "Checked Files:", 7, 196, 52, 10},
    {ID_CHECKED_FILES, "0", 60, 196, 80, 10},
    {ID_TOTAL_SIZE_LABEL, "Total Size:", 150, 183, 50, 10},
    {ID_TOTAL_SIZE, "0", 201, 183, 80, 10},
    {ID_CHECKED_SIZE_LABEL, "Checked Size:", 150, 196, 50, 10},
    {ID_CHECKED_SIZE, "0", 201, 196, 80, 10},
    {ID_CHECK_ALL, "Check All", 7, 215, 60, 14},
    {ID_REVERSE_CHECK, "Reverse Check", 68, 215, 60, 14},
    {ID_OK, "OK", 252, 215, 50, 14},
    {ID_CANCEL, "Cancel", 303, 215, 50, 14},
};

}  // namespace kivo::filter_builder
