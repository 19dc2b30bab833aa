#pragma once
// Paints a set row: blue when selected, else black, white text, the set
// icon at the row's top-left corner and the name 18 pixels to the right.
#include <QPixmap>
#include <QStyledItemDelegate>

namespace kivo {

class SetRowDelegate : public QStyledItemDelegate {
public:
    explicit SetRowDelegate(QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static constexpr int kIconSize = 16;
    static constexpr int kTextIndent = 18;

private:
    QPixmap icon_;
};

}  // namespace kivo
