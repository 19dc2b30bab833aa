#pragma once
// "Kivo Property": edits a set's name and its ordered entries. It works on
// copies of the entries and writes the set only through ApplyTo, which the
// caller calls after OK, so Cancel leaves the set as it was.
#include <QDialog>
#include <QStringList>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/FileSet.h"

class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kivo {

class AddFoldersDialog;

class SetEditorDialog : public QDialog {
    Q_OBJECT

public:
    // `set` is null for a new set, whose name box starts with `newName`.
    // `namesInUse` are the names the name must not repeat; with
    // `nameEditable` false the name box is read-only and no name test is
    // made.
    SetEditorDialog(const FileSet* set, std::vector<std::string> namesInUse, bool nameEditable,
                    const QString& newName, QWidget* parent = nullptr);
    ~SetEditorDialog() override;

    // Writes the trimmed name and the edited entries into `set`, replacing
    // its entries. Call once, after the dialog ended with OK.
    void ApplyTo(FileSet& set);

    QWidget* control(int id) const;
    QPushButton* button(int id) const;
    QLineEdit* nameBox() const { return name_; }
    QTreeWidget* entryList() const { return entries_; }
    // The entry copies, in row order.
    const std::vector<std::unique_ptr<SetEntry>>& entryCopies() const { return copies_; }
    // The Add Folders dialog opened by "Add Folders..." or "Property...",
    // while it is open; null otherwise.
    AddFoldersDialog* addFoldersDialog() const { return addFolders_; }

    void accept() override;

public slots:
    void AddFiles();
    void AddFolders();
    void EditSelectedEntry();
    void RemoveSelectedEntries();

private:
    void CreateControls();
    void ConnectCommands();
    void QueueRefresh();
    void RefreshButtons();
    bool NameAcceptable() const;
    int FirstSelectedRow() const;
    // Inserts a row for `entry` at `row`, or appends it with row -1.
    void InsertEntry(std::unique_ptr<SetEntry> entry, int row = -1);
    void ShowEntry(int row);
    void OpenAddFolders(const SetEntry& start, int editedRow);
    // The path an entry chosen in a picker keeps, or none when it cannot be
    // an entry; what the user should know about it is noted for ShowNotes.
    std::optional<std::string> EntryPathFor(const std::string& chosen);
    // One box with the notes gathered since the last one, if any.
    void ShowNotes();
    void TakeAddedFolders(const AddFoldersDialog& dialog, int editedRow);

    std::vector<std::string> namesInUse_;
    bool nameEditable_;
    std::map<int, QWidget*> controls_;
    QLineEdit* name_ = nullptr;
    QTreeWidget* entries_ = nullptr;
    std::vector<std::unique_ptr<SetEntry>> copies_;
    AddFoldersDialog* addFolders_ = nullptr;
    bool refreshQueued_ = false;
    QStringList notes_;
};

}  // namespace kivo
