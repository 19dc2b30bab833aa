#pragma once
// The set list of the main window: one row per stored set, in store order;
// the rows own their sets. Every change is written to the set store at
// once, and renames and removals are passed on to the operation list.
#include <QListWidget>
#include <string>
#include <vector>

namespace kivo {

class DialogLauncher;
class FileSet;
class OperationListWidget;

class SetListWidget : public QListWidget {
    Q_OBJECT

public:
    SetListWidget(OperationListWidget& operations, DialogLauncher& dialogs,
                  QWidget* parent = nullptr);

    // Commands of the window's buttons and double-click.
    void NewSet();
    void EditSelected();
    void RemoveSelected();

    FileSet* SetAt(int row) const;
    int SelectedCount() const;
    int FirstSelectedRow() const;
    // The names of all rows but `exceptRow`.
    std::vector<std::string> NamesInUse(int exceptRow = -1) const;

    // What dragging `row` carries; null for no row. The caller owns it.
    QMimeData* DragDataForRow(int row) const;

protected:
    void startDrag(Qt::DropActions supportedActions) override;

private:
    void LoadStore();
    void SaveStore() const;
    void AppendSet(std::unique_ptr<FileSet> set);

    OperationListWidget& operations_;
    DialogLauncher& dialogs_;
};

}  // namespace kivo
