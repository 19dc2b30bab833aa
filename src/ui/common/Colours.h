#pragma once
// The colours of the main window's two lists.
#include <QColor>

namespace kivo {

inline const QColor kListBlack{0, 0, 0};
inline const QColor kListText{255, 255, 255};
inline const QColor kSelectionBlue{0, 0, 255};
inline const QColor kDropHighlightRed{255, 0, 0};

}  // namespace kivo
