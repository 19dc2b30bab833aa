#pragma once
// Paints a row of the operation list: red while a set is dragged over it,
// else blue when selected, else black; the kind's 32-pixel image centred at
// the top, the saved-operation marker over it, the label word-wrapped and
// centred below.
#include <QPixmap>
#include <QStyledItemDelegate>
#include <array>

namespace kivo {

class OperationRowDelegate : public QStyledItemDelegate {
public:
    explicit OperationRowDelegate(QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static constexpr int kImageSize = 32;
    // The cell every row occupies in the icon grid, for the list's font.
    static QSize CellSize(const QFontMetrics& metrics);
    // Where the image sits inside a row's rectangle.
    static QRect ImageRect(const QRect& row);

private:
    std::array<QPixmap, 6> images_;
};

}  // namespace kivo
