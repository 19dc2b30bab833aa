#pragma once
// The operation list of the main window: the five fixed action rows
// (Delete, Copy, Move, Zip, UnZip) followed by the saved operations, which
// the rows own. Every change is written to the binding store at once.
// Sets dragged from the set list are dropped on Delete, Copy, Move or Zip.
#include <QListWidget>
#include <memory>
#include <string>

class QMenu;

namespace kivo {

class DialogLauncher;
class Operation;

class OperationListWidget : public QListWidget {
    Q_OBJECT

public:
    static constexpr int kFixedRows = 5;

    OperationListWidget(DialogLauncher& dialogs, QWidget* parent = nullptr);

    // Replaces the saved operations by those of the binding store.
    void LoadStore();

    // Commands of the window's buttons, the bind menu and double-click.
    void BindNew(int kind);
    void EditSelected();
    void RemoveSelected();
    void RunSelected();
    // The bind menu; its items call BindNew.
    QMenu* CreateBindMenu(QWidget* parent);
    // Shows the bind menu with its left and bottom edges at `globalPos`.
    void ShowBindMenu(const QPoint& globalPos);

    // Cascades from the set list.
    void RenameSet(const std::string& oldName, const std::string& newName);
    void RemoveSet(const std::string& name);

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
    void AppendOperation(std::unique_ptr<Operation> operation, const QString& label);
    // Deletes a saved operation's row, and the record with it.
    void DeleteRow(int row);
    void SaveStore() const;
    // Drag enter and drag over: moves the highlight and tells the answer.
    Qt::DropAction DragOver(const QMimeData* data, const QPoint& position);
    // Delete, Copy, Move or Zip under `position`; -1 elsewhere.
    int DropTargetAt(const QPoint& position) const;
    void SetHighlight(int row);
    void OpenDroppedRunDialog();

    DialogLauncher& dialogs_;
    int highlighted_ = -1;
    int dropTarget_ = -1;
    std::string droppedSetName_;
};

}  // namespace kivo
