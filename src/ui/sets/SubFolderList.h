#pragma once
// The sub-folder list of "Add Folders": the sub-folders of one folder in
// the order the directory listing returns them, names beginning with '.'
// left out. A header click sorts by name, ignoring letter case, first
// ascending and then the other way round on each further click.
#include <QTreeWidget>
#include <string>
#include <vector>

namespace kivo {

class SubFolderList : public QTreeWidget {
    Q_OBJECT

public:
    explicit SubFolderList(QWidget* parent = nullptr);

    // Lists the sub-folders of `folder`; a folder that cannot be listed
    // leaves the list empty.
    void Fill(const std::string& folder);
    const std::string& folder() const { return folder_; }
    // The selected rows as full paths, in row order.
    std::vector<std::string> SelectedPaths() const;
    // Sorts as a header click does; nothing with fewer than two rows.
    void SortByName();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::string folder_;
    bool ascending_ = false;  // direction of the last sort
};

}  // namespace kivo
