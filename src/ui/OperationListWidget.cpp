#include "ui/OperationListWidget.h"

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <vector>

#include "model/Operation.h"
#include "model/OperationList.h"
#include "model/SetName.h"
#include "model/StringTable.h"
#include "platform/FileTime.h"
#include "ui/Colours.h"
#include "ui/DialogLauncher.h"
#include "ui/DragPayload.h"
#include "ui/MessageBoxes.h"
#include "ui/OperationRowDelegate.h"
#include "ui/RowRoles.h"
#include "ui/StoreFiles.h"
#include "ui/Texts.h"

namespace kivo {

namespace {

constexpr int kOperationRowType = QListWidgetItem::UserType + 1;

// A saved operation's row; deleting the row deletes the record.
class OperationRow : public QListWidgetItem {
public:
    OperationRow(std::unique_ptr<Operation> operation, const QString& label)
        : QListWidgetItem(label, nullptr, kOperationRowType), operation_(std::move(operation)) {
        setData(ROLE_IMAGE, static_cast<int>(operation_->kind));
        setData(ROLE_SAVED, true);
    }
    Operation& operation() const { return *operation_; }

private:
    std::unique_ptr<Operation> operation_;
};

struct FixedRow {
    int textId;
    int image;
};

constexpr FixedRow kFixed[OperationListWidget::kFixedRows] = {
    {IDS_ROW_DELETE, IMAGE_DELETE}, {IDS_ROW_COPY, IMAGE_COPY}, {IDS_ROW_MOVE, IMAGE_MOVE},
    {IDS_ROW_ZIP, IMAGE_ZIP},       {IDS_ROW_UNZIP, IMAGE_UNZIP},
};

struct BindCommand {
    const char* text;
    int kind;
};

constexpr BindCommand kBindMenu[] = {
    {"Bind Delete...", OPERATION_DELETE},
    {"Bind Copy...", OPERATION_COPY},
    {"Bind Move...", OPERATION_MOVE},
    {"Bind Zip...", OPERATION_ZIP},
};

}  // namespace

OperationListWidget::OperationListWidget(DialogLauncher& dialogs, QWidget* parent)
    : QListWidget(parent), dialogs_(dialogs) {
    setViewMode(QListView::IconMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);  // auto-arrange
    setMovement(QListView::Static);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setWordWrap(true);
    setDragEnabled(false);
    setAutoScroll(false);  // a drag over the list does not scroll it
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setItemDelegate(new OperationRowDelegate(this));
    setGridSize(OperationRowDelegate::CellSize(fontMetrics()));

    QPalette colours = palette();
    colours.setColor(QPalette::Base, kListBlack);
    colours.setColor(QPalette::Text, kListText);
    setPalette(colours);

    AddFixedRows();
    LoadStore();
}

void OperationListWidget::AddFixedRows() {
    for (const FixedRow& fixed : kFixed) {
        auto* row = new QListWidgetItem(UiText(fixed.textId), this);
        row->setData(ROLE_IMAGE, fixed.image);
    }
}

void OperationListWidget::LoadStore() {
    for (int row = count() - 1; row >= 0; --row) {
        if (OperationAt(row) != nullptr) DeleteRow(row);
    }
    OperationList loaded;
    loaded.Load(BindingStoreFile());
    for (auto& operation : loaded.operations) {
        const QString label = QString::fromStdString(operation->Label());
        AppendOperation(std::move(operation), label);
    }
}

void OperationListWidget::DeleteRow(int row) {
    // In single-selection mode Qt would hand the selection of a deleted
    // current row on to a neighbour, and a second "Remove" or "Run" would
    // then act on a row the user never chose. The deleted row takes its
    // selection with it instead.
    if (currentRow() == row) {
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    delete takeItem(row);
}

void OperationListWidget::AppendOperation(std::unique_ptr<Operation> operation,
                                          const QString& label) {
    addItem(new OperationRow(std::move(operation), label));
}

void OperationListWidget::SaveStore() const {
    std::vector<const Operation*> operations;
    for (int row = 0; row < count(); ++row) {
        if (const Operation* operation = OperationAt(row)) operations.push_back(operation);
    }
    SaveOperations(operations, BindingStoreFile());
}

Operation* OperationListWidget::OperationAt(int row) const {
    const QListWidgetItem* found = item(row);
    if (found == nullptr || found->type() != kOperationRowType) return nullptr;
    return &static_cast<const OperationRow*>(found)->operation();
}

int OperationListWidget::SelectedCount() const {
    return static_cast<int>(selectedItems().size());
}

int OperationListWidget::FirstSelectedRow() const {
    for (int row = 0; row < count(); ++row) {
        if (item(row)->isSelected()) return row;
    }
    return -1;
}

void OperationListWidget::BindNew(int kind) {
    auto operation = std::make_unique<Operation>();
    operation->kind = kind;
    if (!dialogs_.BindOperation(window(), *operation, true)) return;
    // A new row shows the set name alone, whatever the record holds.
    const QString label = QString::fromStdString(operation->setName);
    AppendOperation(std::move(operation), label);
    SaveStore();
}

void OperationListWidget::EditSelected() {
    const int row = FirstSelectedRow();
    Operation* operation = OperationAt(row);
    if (operation == nullptr) return;
    // The dialog works on a copy so that Cancel leaves the record untouched.
    Operation edited = *operation;
    if (!dialogs_.BindOperation(window(), edited, false)) return;
    *operation = edited;
    item(row)->setText(QString::fromStdString(operation->setName));
    SaveStore();
}

void OperationListWidget::RemoveSelected() {
    const int row = FirstSelectedRow();
    const Operation* operation = OperationAt(row);
    if (operation == nullptr) return;
    if (!AskYesNo(window(), UiText(IDS_REMOVE_OPERATION, operation->setName))) return;
    DeleteRow(row);
    SaveStore();
}

void OperationListWidget::RunSelected() {
    const int row = FirstSelectedRow();
    if (row < 0) return;
    Operation* operation = OperationAt(row);
    if (operation == nullptr) {
        const int image = item(row)->data(ROLE_IMAGE).toInt();
        if (image == IMAGE_UNZIP) {
            dialogs_.ShowZipViewer(window());
        } else {
            dialogs_.RunOperation(window(), image, std::string(), nullptr);
        }
        return;
    }
    if (!dialogs_.RunOperation(window(), operation->kind, operation->setName, operation)) return;
    operation->lastRun = CurrentFileTime();
    item(row)->setText(QString::fromStdString(operation->Label()));
    SaveStore();
}

QMenu* OperationListWidget::CreateBindMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    for (const BindCommand& command : kBindMenu) {
        const int kind = command.kind;
        menu->addAction(QString::fromLatin1(command.text), this, [this, kind] { BindNew(kind); });
    }
    return menu;
}

void OperationListWidget::ShowBindMenu(const QPoint& globalPos) {
    std::unique_ptr<QMenu> menu(CreateBindMenu(this));
    menu->exec(QPoint(globalPos.x(), globalPos.y() - menu->sizeHint().height()));
}

void OperationListWidget::RenameSet(const std::string& oldName, const std::string& newName) {
    // A change of letter case only: the operations still find their set.
    if (SameSetName(oldName, newName)) return;
    bool changed = false;
    for (int row = 0; row < count(); ++row) {
        Operation* operation = OperationAt(row);
        if (operation == nullptr || !SameSetName(operation->setName, oldName)) continue;
        operation->setName = newName;
        item(row)->setText(QString::fromStdString(operation->Label()));
        changed = true;
    }
    if (changed) SaveStore();
}

void OperationListWidget::RemoveSet(const std::string& name) {
    for (int row = count() - 1; row >= 0; --row) {
        const Operation* operation = OperationAt(row);
        if (operation != nullptr && SameSetName(operation->setName, name)) DeleteRow(row);
    }
    SaveStore();
}

int OperationListWidget::DropTargetAt(const QPoint& position) const {
    const QListWidgetItem* hit = itemAt(position);
    if (hit == nullptr) return -1;
    const int row = this->row(hit);
    if (row >= kFixedRows || OperationAt(row) != nullptr) return -1;
    if (hit->data(ROLE_IMAGE).toInt() == IMAGE_UNZIP) return -1;
    return row;
}

void OperationListWidget::SetHighlight(int row) {
    if (highlighted_ == row) return;
    if (QListWidgetItem* previous = item(highlighted_)) previous->setData(ROLE_DROP_HIGHLIGHT, false);
    highlighted_ = row;
    if (QListWidgetItem* next = item(row)) next->setData(ROLE_DROP_HIGHLIGHT, true);
}

Qt::DropAction OperationListWidget::DragOver(const QMimeData* data, const QPoint& position) {
    if (!HasSetDragData(data)) return Qt::IgnoreAction;
    const int target = DropTargetAt(position);
    SetHighlight(target);
    return target < 0 ? Qt::IgnoreAction : Qt::CopyAction;
}

void OperationListWidget::dragEnterEvent(QDragEnterEvent* event) {
    if (!HasSetDragData(event->mimeData())) {
        event->ignore();
        return;
    }
    // Accepted even over an invalid point: only an accepted enter brings the
    // moves that can reach a valid row later.
    const Qt::DropAction action = DragOver(event->mimeData(), event->position().toPoint());
    event->setDropAction(action);
    event->accept();
}

void OperationListWidget::dragMoveEvent(QDragMoveEvent* event) {
    const Qt::DropAction action = DragOver(event->mimeData(), event->position().toPoint());
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

void OperationListWidget::dragLeaveEvent(QDragLeaveEvent* event) {
    SetHighlight(-1);
    event->accept();
}

void OperationListWidget::dropEvent(QDropEvent* event) {
    std::string setName;
    const int target = DropTargetAt(event->position().toPoint());
    if (target < 0 || !ReadSetDragData(event->mimeData(), setName)) {
        SetHighlight(-1);
        event->ignore();
        return;
    }
    SetHighlight(-1);
    dropTarget_ = target;
    setCurrentRow(target);
    droppedSetName_ = setName;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // The run dialog is modal: opened from inside the drop it would keep the
    // drag source waiting until it closes.
    QMetaObject::invokeMethod(this, [this] { OpenDroppedRunDialog(); }, Qt::QueuedConnection);
}

void OperationListWidget::OpenDroppedRunDialog() {
    const QListWidgetItem* target = item(dropTarget_);
    if (droppedSetName_.empty() || target == nullptr) return;
    dialogs_.RunOperation(window(), target->data(ROLE_IMAGE).toInt(), droppedSetName_, nullptr);
}

}  // namespace kivo
