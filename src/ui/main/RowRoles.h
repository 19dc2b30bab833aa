#pragma once
// Item data the two lists keep beside the text, read by their painters.
#include <Qt>

namespace kivo {

enum RowRole : int {
    // Operation list: index of the row image (0 Delete, 1 Copy, 2 Move,
    // 3 Zip, 5 UnZip).
    ROLE_IMAGE = Qt::UserRole + 1,
    // Operation list: true on a saved operation, which wears the marker.
    ROLE_SAVED,
    // Operation list: the row a dragged set would be dropped on.
    ROLE_DROP_HIGHLIGHT,
};

// Images of the operation list, in image-list order.
enum OperationImage : int {
    IMAGE_DELETE = 0,
    IMAGE_COPY = 1,
    IMAGE_MOVE = 2,
    IMAGE_ZIP = 3,
    IMAGE_SAVED_MARKER = 4,
    IMAGE_UNZIP = 5,
};

}  // namespace kivo
