#include "ui/SetListWidget.h"

#include <QDrag>
#include <QMimeData>
#include <memory>

#include "model/SetList.h"
#include "model/SetName.h"
#include "model/StringTable.h"
#include "ui/Colours.h"
#include "ui/DialogLauncher.h"
#include "ui/DragPayload.h"
#include "ui/Icons.h"
#include "ui/MessageBoxes.h"
#include "ui/OperationListWidget.h"
#include "ui/SetRowDelegate.h"
#include "ui/StoreFiles.h"
#include "ui/Texts.h"

namespace kivo {

namespace {

constexpr int kSetRowType = QListWidgetItem::UserType + 2;

// A set's row; deleting the row deletes the set.
class SetRow : public QListWidgetItem {
public:
    explicit SetRow(std::unique_ptr<FileSet> set)
        : QListWidgetItem(QString::fromStdString(set->name), nullptr, kSetRowType),
          set_(std::move(set)) {}
    FileSet& set() const { return *set_; }

private:
    std::unique_ptr<FileSet> set_;
};

}  // namespace

SetListWidget::SetListWidget(OperationListWidget& operations, DialogLauncher& dialogs,
                             QWidget* parent)
    : QListWidget(parent), operations_(operations), dialogs_(dialogs) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setItemDelegate(new SetRowDelegate(this));
    // Rows are dragged out to the operation list, never dropped here: the
    // order of the sets is the store's.
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setAcceptDrops(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    QPalette colours = palette();
    colours.setColor(QPalette::Base, kListBlack);
    colours.setColor(QPalette::Text, kListText);
    setPalette(colours);

    LoadStore();
}

void SetListWidget::LoadStore() {
    SetList loaded;
    loaded.Load(SetStoreFile());
    for (auto& set : loaded.sets) AppendSet(std::move(set));
}

void SetListWidget::AppendSet(std::unique_ptr<FileSet> set) { addItem(new SetRow(std::move(set))); }

void SetListWidget::SaveStore() const {
    std::vector<const FileSet*> sets;
    for (int row = 0; row < count(); ++row) sets.push_back(SetAt(row));
    SaveSets(sets, SetStoreFile());
}

FileSet* SetListWidget::SetAt(int row) const {
    const QListWidgetItem* found = item(row);
    if (found == nullptr || found->type() != kSetRowType) return nullptr;
    return &static_cast<const SetRow*>(found)->set();
}

int SetListWidget::SelectedCount() const { return static_cast<int>(selectedItems().size()); }

int SetListWidget::FirstSelectedRow() const {
    for (int row = 0; row < count(); ++row) {
        if (item(row)->isSelected()) return row;
    }
    return -1;
}

std::vector<std::string> SetListWidget::NamesInUse(int exceptRow) const {
    std::vector<std::string> names;
    for (int row = 0; row < count(); ++row) {
        if (row != exceptRow) names.push_back(SetAt(row)->name);
    }
    return names;
}

void SetListWidget::NewSet() {
    std::unique_ptr<FileSet> set = dialogs_.CreateSet(window(), NamesInUse());
    if (!set) return;
    AppendSet(std::move(set));
    SaveStore();
}

void SetListWidget::EditSelected() {
    const int row = FirstSelectedRow();
    FileSet* set = SetAt(row);
    if (set == nullptr) return;
    const std::string before = set->name;
    if (dialogs_.EditSet(window(), *set, NamesInUse(row))) {
        item(row)->setText(QString::fromStdString(set->name));
    }
    // Written whatever the editor returned.
    SaveStore();
    if (!SameSetName(before, set->name)) operations_.RenameSet(before, set->name);
}

void SetListWidget::RemoveSelected() {
    if (!AskYesNo(window(), UiText(IDS_REMOVE_SETS))) return;
    for (int row = FirstSelectedRow(); row >= 0; row = FirstSelectedRow()) {
        const std::string name = SetAt(row)->name;
        delete takeItem(row);
        operations_.RemoveSet(name);
    }
    SaveStore();
}

QMimeData* SetListWidget::DragDataForRow(int row) const {
    const FileSet* set = SetAt(row);
    return set == nullptr ? nullptr : MakeSetDragData(set->name);
}

void SetListWidget::startDrag(Qt::DropActions) {
    QMimeData* data = DragDataForRow(currentRow());
    if (data == nullptr) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->setPixmap(IconPixmap(ICON_SET, SetRowDelegate::kIconSize));
    drag->exec(Qt::CopyAction);
}

}  // namespace kivo
