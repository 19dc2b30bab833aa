#pragma once
// The payload of dragging a set onto the operation list: the set's name,
// zero-terminated, in the program's private format "CF_KIVO_DRAG_DROP"
// (as a MIME type on this desktop).
#include <QString>
#include <string>

class QMimeData;

namespace kivo {

inline constexpr char kSetDragFormatName[] = "CF_KIVO_DRAG_DROP";
QString SetDragMimeType();

// A new payload carrying `setName`; the caller owns it (a drag takes it).
QMimeData* MakeSetDragData(const std::string& setName);
bool HasSetDragData(const QMimeData* data);
// The name up to its terminator; false when the format is missing.
bool ReadSetDragData(const QMimeData* data, std::string& setName);

}  // namespace kivo
