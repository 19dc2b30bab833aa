#pragma once
// The program's icon resources, drawn from the SVG artwork built into the
// program. Ids are the resource numbers the windows refer to.
#include <QIcon>
#include <QPixmap>

namespace kivo {

enum IconId : int {
    ICON_PROGRAM = 128,
    ICON_DELETE = 132,
    ICON_COPY = 133,
    ICON_MOVE = 134,
    ICON_SET = 135,
    ICON_ZIP = 136,
    ICON_SAVED_MARKER = 152,
    ICON_UNZIP = 158,
};

// The artwork rendered at `size` x `size` pixels with a transparent
// background; a null pixmap for an unknown id.
QPixmap IconPixmap(IconId id, int size);
// All usual sizes, for window icons.
QIcon ProgramIcon();

}  // namespace kivo
