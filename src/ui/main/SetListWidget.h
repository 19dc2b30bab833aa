#pragma once
// The set list of the main window: one row per stored set, in store order;
// the rows own their sets. Every change is made to the stores as they are
// on disk (see StoreSync), renames and removals with their cascade into the
// saved operations, and the list is then rebuilt from the result.
#include <QListWidget>
#include <string>
#include <vector>

namespace kivo {

class DialogLauncher;
class FileSet;
class SetList;
class StoreSync;

class SetListWidget : public QListWidget {
    Q_OBJECT

public:
    SetListWidget(StoreSync& stores, DialogLauncher& dialogs, QWidget* parent = nullptr);

    // Rebuilds the rows from stores just read, taking their sets; the
    // selection stays on the rows of the same names.
    void ShowSets(SetList& sets);

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
    void AppendSet(std::unique_ptr<FileSet> set);
    void SelectNamed(const std::vector<std::string>& names);

    StoreSync& stores_;
    DialogLauncher& dialogs_;
};

}  // namespace kivo
