#pragma once
// The sub-folder list of "Add Folders": the sub-folders of one folder by
// name, letter case aside, as the folder tree beside it orders them (the
// directory listing's own order is arbitrary), names beginning with '.'
// left out. A header click turns the order round.
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
    bool ascending_ = true;  // direction of the last sort
};

}  // namespace kivo
