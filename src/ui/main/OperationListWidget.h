#pragma once
// The operation list of the main window: the five fixed action rows
// (Delete, Copy, Move, Zip, UnZip) followed by the saved operations, which
// the rows own. Every change is made to the binding store as it is on disk
// (see StoreSync), and the rows are then rebuilt from the result. Sets
// dragged from the set list are dropped on Delete, Copy, Move or Zip.
#include <QListWidget>
#include <functional>
#include <memory>
#include <string>

#include "model/OperationList.h"
#include "ui/main/StoreSync.h"

class QMenu;

namespace kivo {

class DialogLauncher;

class OperationListWidget : public QListWidget {
    Q_OBJECT

public:
    static constexpr int kFixedRows = 5;

    OperationListWidget(StoreSync& stores, DialogLauncher& dialogs, QWidget* parent = nullptr);

    // Replaces the saved operations' rows by `operations` (taking them),
    // just read from the binding store. Labels follow Operation::Label,
    // except that after the window's own change the rows it just bound or
    // edited keep showing the set name alone until another program's change
    // is shown. A selected row stays selected when its record is still there.
    void ShowOperations(Operations& operations, StoresOrigin origin);

    // Commands of the window's buttons, the bind menu and double-click.
    void BindNew(int kind);
    void EditSelected();
    void RemoveSelected();
    void RunSelected();
    // The bind menu; its items call BindNew.
    QMenu* CreateBindMenu(QWidget* parent);
    // Shows the bind menu with its left and bottom edges at `globalPos`.
    void ShowBindMenu(const QPoint& globalPos);

    // Null for a fixed row or a row out of range.
    Operation* OperationAt(int row) const;
    int OperationCount() const { return count() - kFixedRows; }
    int SelectedCount() const;
    // The first row, in row order, that is selected; -1 for none.
    int FirstSelectedRow() const;
    // The row shown as the drop target while a set is dragged; -1 for none.
    int HighlightedRow() const { return highlighted_; }
    const std::string& DroppedSetName() const { return droppedSetName_; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void AddFixedRows();
    void AppendOperation(std::unique_ptr<Operation> operation, bool plainLabel);
    // Deletes a saved operation's row, and the record with it.
    void DeleteRow(int row);
    // Applies `change` to the saved operation `remembered` (as it was when
    // the user began, at `row`) found again in the fresh binding store; the
    // change gets its index. When another program has changed or removed it
    // meanwhile, nothing is written and the user is told. Returns the fresh
    // index, or npos.
    std::size_t ChangeSaved(const Operation& remembered, int row,
                            const std::function<void(Operations&, std::size_t)>& change);
    void SelectOperation(std::size_t index);
    // Drag enter and drag over: moves the highlight and tells the answer.
    Qt::DropAction DragOver(const QMimeData* data, const QPoint& position);
    // Delete, Copy, Move or Zip under `position`; -1 elsewhere.
    int DropTargetAt(const QPoint& position) const;
    void SetHighlight(int row);
    void OpenDroppedRunDialog();

    StoreSync& stores_;
    DialogLauncher& dialogs_;
    // The fresh index of a record the window just bound or edited, whose
    // row shows the set name alone; npos for none.
    std::size_t plainIndex_ = std::string::npos;
    int highlighted_ = -1;
    int dropTarget_ = -1;
    std::string droppedSetName_;
};

}  // namespace kivo
