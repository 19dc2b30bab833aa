#include "ui/main/OperationListWidget.h"

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <algorithm>
#include <vector>

#include "model/Operation.h"
#include "model/OperationList.h"
#include "model/StoreChange.h"
#include "model/StringTable.h"
#include "platform/FileTime.h"
#include "ui/common/Colours.h"
#include "ui/common/DialogLauncher.h"
#include "ui/common/MessageBoxes.h"
#include "ui/common/NestedLoopScope.h"
#include "ui/common/Texts.h"
#include "ui/main/DragPayload.h"
#include "ui/main/OperationRowDelegate.h"
#include "ui/main/RowRoles.h"

namespace kivo {

namespace {

constexpr int kOperationRowType = QListWidgetItem::UserType + 1;

// A saved operation's row; deleting the row deletes the record.
// A row the window just bound or edited shows the set name alone (a plain
// label) rather than the label rule.
class OperationRow : public QListWidgetItem {
public:
    OperationRow(std::unique_ptr<Operation> operation, bool plainLabel)
        : QListWidgetItem(QString::fromStdString(plainLabel ? operation->setName
                                                            : operation->Label()),
                          nullptr, kOperationRowType),
          operation_(std::move(operation)),
          plainLabel_(plainLabel) {
        setData(ROLE_IMAGE, static_cast<int>(operation_->kind));
        setData(ROLE_SAVED, true);
    }
    Operation& operation() const { return *operation_; }
    bool plainLabel() const { return plainLabel_; }

private:
    std::unique_ptr<Operation> operation_;
    bool plainLabel_;
};

const char kChangedElsewhereText[] =
    "The Operation [%1] was changed or removed by another program.\nNothing was changed.";

bool SameRecord(const Operation& a, const Operation& b) {
    return SameOptions(a, b) && a.lastRun == b.lastRun;
}

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

OperationListWidget::OperationListWidget(StoreSync& stores, DialogLauncher& dialogs,
                                         QWidget* parent)
    : QListWidget(parent), stores_(stores), dialogs_(dialogs) {
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
}

void OperationListWidget::AddFixedRows() {
    for (const FixedRow& fixed : kFixed) {
        auto* row = new QListWidgetItem(UiText(fixed.textId), this);
        row->setData(ROLE_IMAGE, fixed.image);
    }
}

void OperationListWidget::ShowOperations(Operations& operations, StoresOrigin origin) {
    const int selectedRow = FirstSelectedRow();
    std::unique_ptr<Operation> selected;
    if (const Operation* operation = OperationAt(selectedRow)) {
        selected = std::make_unique<Operation>(*operation);
    }
    // Rows keep a plain label through the window's own changes, found again
    // by their whole record; another program's change ends it.
    std::vector<Operation> plain;
    for (int row = kFixedRows; row < count(); ++row) {
        const auto* saved = static_cast<const OperationRow*>(item(row));
        if (origin == StoresOrigin::Window && saved->plainLabel()) plain.push_back(saved->operation());
    }
    for (int row = count() - 1; row >= kFixedRows; --row) DeleteRow(row);

    for (std::size_t i = 0; i < operations.size(); ++i) {
        bool plainLabel = i == plainIndex_ && origin == StoresOrigin::Window;
        const auto kept = std::find_if(plain.begin(), plain.end(), [&](const Operation& record) {
            return SameRecord(record, *operations[i]);
        });
        if (kept != plain.end()) {
            plain.erase(kept);
            plainLabel = true;
        }
        AppendOperation(std::move(operations[i]), plainLabel);
    }
    operations.clear();
    plainIndex_ = std::string::npos;

    if (selected) {
        for (int row = kFixedRows; row < count(); ++row) {
            if (SameRecord(*OperationAt(row), *selected)) {
                setCurrentRow(row);
                break;
            }
        }
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
                                          bool plainLabel) {
    addItem(new OperationRow(std::move(operation), plainLabel));
}

std::size_t OperationListWidget::ChangeSaved(
    const Operation& remembered, int row,
    const std::function<void(Operations&, std::size_t)>& change) {
    std::size_t found = std::string::npos;
    const ChangeEnd end = stores_.Change(window(), [&](StoreSnapshot& stores) {
        Operations& operations = stores.operations.operations;
        found = FindSavedOperation(operations, remembered,
                                   static_cast<std::size_t>(row - kFixedRows));
        if (found == std::string::npos) return false;
        change(operations, found);
        stores.operationsChanged = true;
        return true;
    });
    if (end == ChangeEnd::Declined) {
        NestedLoopScope box;
        ShowInformation(window(), QString::fromLatin1(kChangedElsewhereText)
                                      .arg(QString::fromStdString(remembered.setName)));
    }
    return end == ChangeEnd::Written || end == ChangeEnd::SaveFailed ? found : std::string::npos;
}

void OperationListWidget::SelectOperation(std::size_t index) {
    const int row = kFixedRows + static_cast<int>(index);
    if (OperationAt(row) != nullptr) setCurrentRow(row);
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
    Operation operation;
    operation.kind = kind;
    {
        NestedLoopScope dialog;
        if (!dialogs_.BindOperation(window(), operation, true)) return;
    }
    stores_.Change(window(), [&](StoreSnapshot& stores) {
        Operations& operations = stores.operations.operations;
        operations.push_back(std::make_unique<Operation>(operation));
        // A new row shows the set name alone, whatever the record holds.
        plainIndex_ = operations.size() - 1;
        stores.operationsChanged = true;
        return true;
    });
}

void OperationListWidget::EditSelected() {
    const int row = FirstSelectedRow();
    const Operation* operation = OperationAt(row);
    if (operation == nullptr) return;
    const Operation remembered = *operation;
    // The dialog works on a copy so that Cancel leaves the record untouched.
    Operation edited = remembered;
    {
        NestedLoopScope dialog;
        if (!dialogs_.BindOperation(window(), edited, false)) return;
    }
    const std::size_t index = ChangeSaved(remembered, row, [&](Operations& operations, std::size_t i) {
        // A last run recorded meanwhile by another program is kept.
        const FileTime lastRun = operations[i]->lastRun;
        *operations[i] = edited;
        operations[i]->lastRun = lastRun;
        plainIndex_ = i;
    });
    if (index != std::string::npos) SelectOperation(index);
}

void OperationListWidget::RemoveSelected() {
    const int row = FirstSelectedRow();
    const Operation* operation = OperationAt(row);
    if (operation == nullptr) return;
    const Operation remembered = *operation;
    {
        NestedLoopScope box;
        if (!AskYesNo(window(), UiText(IDS_REMOVE_OPERATION, remembered.setName))) return;
    }
    const std::size_t index = ChangeSaved(remembered, row, [](Operations& operations, std::size_t i) {
        operations.erase(operations.begin() + static_cast<std::ptrdiff_t>(i));
    });
    // The selection goes with the removed row, even to an identical record.
    if (index != std::string::npos) {
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::Clear);
    }
}

void OperationListWidget::RunSelected() {
    const int row = FirstSelectedRow();
    if (row < 0) return;
    Operation* operation = OperationAt(row);
    NestedLoopScope dialog;
    if (operation == nullptr) {
        const int image = item(row)->data(ROLE_IMAGE).toInt();
        if (image == IMAGE_UNZIP) {
            dialogs_.ShowZipViewer(window());
        } else {
            dialogs_.RunOperation(window(), image, std::string(), nullptr);
        }
        return;
    }
    const Operation remembered = *operation;
    if (!dialogs_.RunOperation(window(), operation->kind, operation->setName, operation)) return;
    const std::size_t index = ChangeSaved(remembered, row, [](Operations& operations, std::size_t i) {
        operations[i]->lastRun = CurrentFileTime();
    });
    if (index != std::string::npos) SelectOperation(index);
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
    NestedLoopScope menuLoop;
    menu->exec(QPoint(globalPos.x(), globalPos.y() - menu->sizeHint().height()));
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
    NestedLoopScope dialog;
    dialogs_.RunOperation(window(), target->data(ROLE_IMAGE).toInt(), droppedSetName_, nullptr);
}

}  // namespace kivo
