#include "ui/main/OperationRowDelegate.h"

#include <QPainter>

#include "ui/common/Colours.h"
#include "ui/common/Icons.h"
#include "ui/main/RowRoles.h"

namespace kivo {

namespace {

constexpr int kTopMargin = 3;
constexpr int kLabelGap = 3;
constexpr int kLabelLines = 3;

}  // namespace

OperationRowDelegate::OperationRowDelegate(QObject* parent)
    : QStyledItemDelegate(parent),
      images_{IconPixmap(ICON_DELETE, kImageSize), IconPixmap(ICON_COPY, kImageSize),
              IconPixmap(ICON_MOVE, kImageSize),   IconPixmap(ICON_ZIP, kImageSize),
              IconPixmap(ICON_SAVED_MARKER, kImageSize), IconPixmap(ICON_UNZIP, kImageSize)} {}

QSize OperationRowDelegate::CellSize(const QFontMetrics& metrics) {
    // Wide enough for a date on one line, tall enough for a name, a date
    // and a time on three.
    const int width = qMax(76, metrics.horizontalAdvance(QStringLiteral("0000-00-00 00")) + 8);
    const int height = kTopMargin + kImageSize + kLabelGap + kLabelLines * metrics.lineSpacing() + 4;
    return QSize(width, height);
}

QRect OperationRowDelegate::ImageRect(const QRect& row) {
    return QRect(row.left() + (row.width() - kImageSize) / 2, row.top() + kTopMargin, kImageSize,
                 kImageSize);
}

void OperationRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QColor fill = kListBlack;
    if (index.data(ROLE_DROP_HIGHLIGHT).toBool()) {
        fill = kDropHighlightRed;
    } else if (option.state.testFlag(QStyle::State_Selected)) {
        fill = kSelectionBlue;
    }
    painter->save();
    painter->fillRect(option.rect, fill);
    const QRect image = ImageRect(option.rect);
    const int imageIndex = index.data(ROLE_IMAGE).toInt();
    if (imageIndex >= 0 && imageIndex < static_cast<int>(images_.size())) {
        painter->drawPixmap(image.topLeft(), images_[static_cast<std::size_t>(imageIndex)]);
    }
    if (index.data(ROLE_SAVED).toBool()) {
        painter->drawPixmap(image.topLeft(), images_[IMAGE_SAVED_MARKER]);
    }
    QRect label = option.rect;
    label.setTop(image.bottom() + 1 + kLabelGap);
    label.adjust(2, 0, -2, 0);
    painter->setPen(kListText);
    painter->setFont(option.font);
    painter->drawText(label, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
}

QSize OperationRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return CellSize(option.fontMetrics);
}

}  // namespace kivo
