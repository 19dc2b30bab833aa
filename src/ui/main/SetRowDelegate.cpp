#include "ui/main/SetRowDelegate.h"

#include <QPainter>

#include "ui/common/Colours.h"
#include "ui/common/Icons.h"

namespace kivo {

SetRowDelegate::SetRowDelegate(QObject* parent)
    : QStyledItemDelegate(parent), icon_(IconPixmap(ICON_SET, kIconSize)) {}

void SetRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    QRect rect = option.rect;
    painter->save();
    painter->fillRect(rect, selected ? kSelectionBlue : kListBlack);
    painter->drawPixmap(rect.topLeft(), icon_);
    rect.setLeft(rect.left() + kTextIndent);
    painter->setPen(kListText);
    painter->setFont(option.font);
    painter->drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
}

QSize SetRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const int textWidth = option.fontMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString());
    return QSize(kTextIndent + textWidth, qMax(kIconSize, option.fontMetrics.height()) + 1);
}

}  // namespace kivo
