#pragma once
// "Zip File": one archive's folders in a tree and the chosen folder's
// entries in a list, from which all entries or the selected ones are
// extracted through "Extract Zip File".
#include <QDialog>
#include <string>
#include <vector>

#include "zip/format/ZipDirectory.h"

class QPushButton;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace kivo {

class DialogLauncher;
class ZipEntryModel;

class ZipViewer : public QDialog {
    Q_OBJECT

public:
    // Opens `archivePath` shortly after it is shown; without one (or when
    // it names no file) the file chooser opens instead.
    // `launcher` opens what the viewer's dialogs open in their turn.
    explicit ZipViewer(DialogLauncher& launcher, QWidget* parent = nullptr,
                       const std::string& archivePath = {});
    ~ZipViewer() override;

    QTreeWidget* tree() const { return tree_; }
    QTreeView* list() const { return list_; }
    ZipEntryModel* entries() const { return model_; }
    QPushButton* button(const QString& text) const;
    const zip::ZipDirectory& directory() const { return directory_; }
    // The folder the list shows; empty for the archive's top level.
    const std::string& currentFolder() const { return currentFolder_; }

public slots:
    void OpenArchive();   // "Open Zip File..."
    void Load(const std::string& path);
    void ExtractAll();
    void ExtractSelected();
    void SelectAll();
    void ReverseSelect();
    void SortByColumn(int column);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OpenFirst();
    void ShowFolder(const std::string& folderPath);
    void FillChildren(QTreeWidgetItem* item);
    void TreeSelectionChanged();
    void Activated(const QModelIndex& index);
    void OpenExtractDialog(std::vector<const zip::ZipEntry*> entries, const std::string& prefix);
    void RefreshButtons();

    DialogLauncher& launcher_;
    zip::ZipDirectory directory_;
    std::string archivePath_;
    std::string currentFolder_;
    bool descending_ = true;  // the first sort flips it to ascending
    bool started_ = false;
    QTreeWidget* tree_ = nullptr;
    QTreeView* list_ = nullptr;
    ZipEntryModel* model_ = nullptr;
    QPushButton* extractSelected_ = nullptr;
    QPushButton* selectAll_ = nullptr;
    QPushButton* reverseSelect_ = nullptr;
};

}  // namespace kivo
