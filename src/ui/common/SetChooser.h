#pragma once
// The set drop-down of every run and bind dialog. It reads its own copy of
// the set store when it is made and owns those sets until the dialog
// closes; sets made or edited through it are never written back. Items are
// kept sorted by name and carry their set's index in that copy.
#include <QComboBox>
#include <memory>
#include <string>
#include <vector>

#include "model/FileSet.h"

class QPushButton;

namespace kivo {

class DialogLauncher;

class SetChooser : public QComboBox {
    Q_OBJECT

public:
    // With a launcher the chooser also makes its "Property..." (1003) and
    // "Create..." (1047) buttons, children of `buttonParent`, for the
    // dialog to place; without one (the bind dialogs) it only selects.
    SetChooser(QWidget* parent, DialogLauncher* launcher, QWidget* buttonParent = nullptr);
    ~SetChooser() override;

    QPushButton* propertyButton() const { return propertyButton_; }
    QPushButton* createButton() const { return createButton_; }

    // The set of the selected item; null when nothing is selected.
    FileSet* SelectedSet() const;
    // Selects the item whose set has `name`, ignoring letter case; selects
    // nothing when there is none or the name is empty.
    void SelectByName(const std::string& name);
    // "Property..." is enabled only while a set is selected.
    void RefreshButtons();

    int setCount() const { return static_cast<int>(sets_.size()); }
    // How many sets "Create..." has made in this chooser.
    unsigned createdCount() const { return createdCount_; }

public slots:
    // The set editor on a new set named "Untitled Kivo %u"; on OK the set
    // joins this chooser only and becomes the selection.
    void Create();
    // The set editor on the selected set; a confirmed rename replaces its
    // item. The change stays in this chooser.
    void Property();

signals:
    // The selection or the selected set changed: the dialog re-evaluates
    // its buttons.
    void setsChanged();

private:
    // Inserts the item at its sorted place and returns its row.
    int AddItem(int setIndex);

    DialogLauncher* launcher_;
    std::vector<std::unique_ptr<FileSet>> sets_;
    unsigned createdCount_ = 0;
    QPushButton* propertyButton_ = nullptr;
    QPushButton* createButton_ = nullptr;
};

}  // namespace kivo
