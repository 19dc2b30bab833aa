#pragma once
// "Add Folders": chooses one or more folders (the tree's folder, or rows of
// its sub-folder list) and the scan options a folder entry gets: the
// sub-folder switch and the filter. Remembers the last filter type
// ("filtertype") and the last folder ("lastfolder").
#include <QDialog>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace kivo {

class FilterBuilderDialog;
class FolderTree;
class SubFolderList;

// What the dialog starts from: empty `folder` for a new entry.
struct FolderOptions {
    std::string folder;
    std::int32_t includeSubfolders = 1;
    std::vector<std::string> patterns;
    std::int32_t filterMode = 1;
};

class AddFoldersDialog : public QDialog {
    Q_OBJECT

public:
    explicit AddFoldersDialog(const FolderOptions& start, QWidget* parent = nullptr);

    // Results, valid after OK.
    const std::vector<std::string>& folders() const { return folders_; }
    std::int32_t includeSubfolders() const { return includeSubfolders_; }
    const std::vector<std::string>& patterns() const { return patterns_; }
    std::int32_t filterMode() const { return filterMode_; }

    QWidget* control(int id) const;
    QPushButton* button(int id) const;
    FolderTree* folderTree() const { return tree_; }
    SubFolderList* subFolderList() const { return subFolders_; }
    QPlainTextEdit* filterBox() const { return filter_; }
    QRadioButton* filterTypeButton(int type) const;
    // The Filter Builder opened by "Scan File Types...", while it is open.
    FilterBuilderDialog* filterBuilder() const { return builder_; }

    void accept() override;
    void done(int result) override;

public slots:
    void ScanFileTypes();

private:
    void CreateControls();
    void ConnectCommands();
    void QueueRefresh();
    void RefreshStates();
    int FilterType() const;
    bool SomethingChosen() const;
    // The chosen sub-folders as full paths, or the tree's folder.
    std::vector<std::string> ChosenFolders() const;

    std::map<int, QWidget*> controls_;
    FolderTree* tree_ = nullptr;
    SubFolderList* subFolders_ = nullptr;
    QCheckBox* includeSubfoldersBox_ = nullptr;
    QRadioButton* typeButtons_[3] = {};
    QPlainTextEdit* filter_ = nullptr;
    FilterBuilderDialog* builder_ = nullptr;
    bool refreshQueued_ = false;

    std::vector<std::string> folders_;
    std::int32_t includeSubfolders_ = 1;
    std::vector<std::string> patterns_;
    std::int32_t filterMode_ = 1;
};

}  // namespace kivo
