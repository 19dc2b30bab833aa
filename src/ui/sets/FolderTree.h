#pragma once
// The folder tree of "Add Folders": the file system's folders from "/",
// hidden ones included. A folder's children are listed when it is first
// expanded and dropped again when it collapses, so the tree never holds
// more than the user opened.
#include <QTreeWidget>
#include <string>

namespace kivo {

class FolderTree : public QTreeWidget {
    Q_OBJECT

public:
    explicit FolderTree(QWidget* parent = nullptr);

    // The folder the tree opens at: `given`, else "lastfolder"; when that is
    // empty or no existing folder, the user's home folder.
    static std::string StartingFolder(const std::string& given);

    // Empties the tree, puts the root folder in and selects `folder`.
    void Fill(const std::string& folder);
    // Expands down to `folder` component by component, each name matched
    // exactly (letter case included), and selects it. False, with nothing
    // selected, when some component is not found.
    bool SelectFolder(const std::string& folder);
    // The selected folder's path; empty when none is selected.
    std::string SelectedFolder() const;
    // Writes the selected folder to "lastfolder" when it is an absolute path.
    void RememberFolder() const;

    static std::string PathOf(const QTreeWidgetItem* item);

signals:
    // The selection moved to a folder (never emitted for an empty path).
    void folderSelected(const QString& path);

private:
    void ListChildren(QTreeWidgetItem* item);
    void DropChildren(QTreeWidgetItem* item);
    QTreeWidgetItem* AddFolderItem(QTreeWidgetItem* parent, const std::string& path,
                                   const QString& text);
};

}  // namespace kivo
