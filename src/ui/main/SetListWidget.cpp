#include "ui/main/SetListWidget.h"

#include <QDrag>
#include <QMimeData>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "model/OperationList.h"
#include "model/SetList.h"
#include "model/SetName.h"
#include "model/StoreChange.h"
#include "model/StringTable.h"
#include "ui/common/Colours.h"
#include "ui/common/DialogLauncher.h"
#include "ui/common/Icons.h"
#include "ui/common/MessageBoxes.h"
#include "ui/common/NestedLoopScope.h"
#include "ui/common/Texts.h"
#include "ui/main/DragPayload.h"
#include "ui/main/SetRowDelegate.h"
#include "ui/main/StoreSync.h"

namespace kivo {

namespace {

constexpr int kSetRowType = QListWidgetItem::UserType + 2;

// A set's row; deleting the row deletes the set.
class SetRow : public QListWidgetItem {
public:
    explicit SetRow(std::unique_ptr<FileSet> set)
        : QListWidgetItem(QString::fromStdString(set->name), nullptr, kSetRowType),
          set_(std::move(set)) {}
    FileSet& set() const { return *set_; }

private:
    std::unique_ptr<FileSet> set_;
};

const char kNameTakenText[] =
    "Another program has meanwhile made a Kivo named [%1].\nNothing was changed.";
const char kChangedElsewhereText[] =
    "The Kivo [%1] was changed or removed by another program while it was being edited.\n"
    "Nothing was changed.";

void ShowConflict(QWidget* parent, const char* text, const std::string& name) {
    NestedLoopScope box;
    ShowInformation(parent, QString::fromLatin1(text).arg(QString::fromStdString(name)));
}

// The names of the sets but `except`: an operation bound to one of them in
// its own spelling stays with it when a set of a like name changes.
std::vector<std::string> NamesBut(const SetList& sets, const FileSet* except) {
    std::vector<std::string> names;
    for (const auto& set : sets.sets) {
        if (set.get() != except) names.push_back(set->name);
    }
    return names;
}

// The row of the first set named like `name` (any letter case), other than
// `except`; -1 for none.
int IndexOfSameName(const SetList& sets, const std::string& name, const FileSet* except) {
    for (std::size_t i = 0; i < sets.sets.size(); ++i) {
        if (sets.sets[i].get() != except && SameSetName(sets.sets[i]->name, name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

SetListWidget::SetListWidget(StoreSync& stores, DialogLauncher& dialogs, QWidget* parent)
    : QListWidget(parent), stores_(stores), dialogs_(dialogs) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setItemDelegate(new SetRowDelegate(this));
    // Rows are dragged out to the operation list, never dropped here: the
    // order of the sets is the store's.
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setAcceptDrops(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    QPalette colours = palette();
    colours.setColor(QPalette::Base, kListBlack);
    colours.setColor(QPalette::Text, kListText);
    setPalette(colours);
}

void SetListWidget::ShowSets(SetList& sets) {
    std::vector<std::string> selected;
    for (int row = 0; row < count(); ++row) {
        if (item(row)->isSelected()) selected.push_back(SetAt(row)->name);
    }
    clear();
    for (auto& set : sets.sets) AppendSet(std::move(set));
    sets.sets.clear();
    SelectNamed(selected);
}

void SetListWidget::SelectNamed(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        for (int row = 0; row < count(); ++row) {
            if (SetAt(row)->name == name && !item(row)->isSelected()) {
                item(row)->setSelected(true);
                break;
            }
        }
    }
}

void SetListWidget::AppendSet(std::unique_ptr<FileSet> set) { addItem(new SetRow(std::move(set))); }

FileSet* SetListWidget::SetAt(int row) const {
    const QListWidgetItem* found = item(row);
    if (found == nullptr || found->type() != kSetRowType) return nullptr;
    return &static_cast<const SetRow*>(found)->set();
}

int SetListWidget::SelectedCount() const { return static_cast<int>(selectedItems().size()); }

int SetListWidget::FirstSelectedRow() const {
    for (int row = 0; row < count(); ++row) {
        if (item(row)->isSelected()) return row;
    }
    return -1;
}

std::vector<std::string> SetListWidget::NamesInUse(int exceptRow) const {
    std::vector<std::string> names;
    for (int row = 0; row < count(); ++row) {
        if (row != exceptRow) names.push_back(SetAt(row)->name);
    }
    return names;
}

void SetListWidget::NewSet() {
    std::unique_ptr<FileSet> set;
    {
        NestedLoopScope dialog;
        set = dialogs_.CreateSet(window(), NamesInUse());
    }
    if (!set) return;
    const std::string name = set->name;
    bool taken = false;
    stores_.Change(window(), [&](StoreSnapshot& stores) {
        // Another program may have made a set of that name meanwhile.
        taken = IndexOfSameName(stores.sets, name, nullptr) >= 0;
        if (taken) return false;
        stores.sets.sets.push_back(std::move(set));
        stores.setsChanged = true;
        return true;
    });
    if (taken) ShowConflict(window(), kNameTakenText, name);
}

void SetListWidget::EditSelected() {
    const int row = FirstSelectedRow();
    const FileSet* set = SetAt(row);
    if (set == nullptr) return;
    // The editor works on a copy: the row keeps the set as stored until the
    // edited one has been written.
    const std::string before = set->name;
    const std::string storedBytes = SetStoreBytes({set});
    SetList copy;
    copy.LoadFromBytes(storedBytes);
    std::unique_ptr<FileSet> edited = std::move(copy.sets.at(0));
    {
        NestedLoopScope dialog;
        // A cancelled editor writes nothing: writing would put back the set
        // as this window last read it, over any change made elsewhere.
        if (!dialogs_.EditSet(window(), *edited, NamesInUse(row))) return;
    }
    const std::string after = edited->name;
    enum class Outcome { Written, ChangedElsewhere, NameTaken } outcome = Outcome::Written;
    stores_.Change(window(), [&](StoreSnapshot& stores) {
        // Written only over the very set the editor was opened on.
        auto& sets = stores.sets.sets;
        const auto unchanged = std::find_if(sets.begin(), sets.end(), [&](const auto& fresh) {
            return fresh->name == before && SetStoreBytes({fresh.get()}) == storedBytes;
        });
        if (unchanged == sets.end()) {
            outcome = Outcome::ChangedElsewhere;
            return false;
        }
        if (IndexOfSameName(stores.sets, after, unchanged->get()) >= 0) {
            outcome = Outcome::NameTaken;
            return false;
        }
        const std::vector<std::string> others = NamesBut(stores.sets, unchanged->get());
        *unchanged = std::move(edited);
        stores.setsChanged = true;
        // A change of letter case only is not passed on: the operations
        // still find their set.
        stores.operationsChanged =
            RenameSet(stores.operations.operations, before, after, others) != 0;
        return true;
    });
    switch (outcome) {
        case Outcome::Written:
            clearSelection();
            SelectNamed({after});
            break;
        case Outcome::ChangedElsewhere:
            ShowConflict(window(), kChangedElsewhereText, before);
            break;
        case Outcome::NameTaken:
            ShowConflict(window(), kNameTakenText, after);
            break;
    }
}

void SetListWidget::RemoveSelected() {
    {
        NestedLoopScope box;
        if (!AskYesNo(window(), UiText(IDS_REMOVE_SETS))) return;
    }
    std::vector<std::string> names;
    for (int row = 0; row < count(); ++row) {
        if (item(row)->isSelected()) names.push_back(SetAt(row)->name);
    }
    stores_.Change(window(), [&](StoreSnapshot& stores) {
        auto& sets = stores.sets.sets;
        for (const std::string& name : names) {
            // A set another program removed already is simply gone; its
            // operations go all the same.
            const auto found = std::find_if(sets.begin(), sets.end(),
                                            [&](const auto& fresh) { return fresh->name == name; });
            if (found != sets.end()) sets.erase(found);
            RemoveSet(stores.operations.operations, name, NamesBut(stores.sets, nullptr));
        }
        stores.setsChanged = true;
        stores.operationsChanged = true;
        return true;
    });
}

QMimeData* SetListWidget::DragDataForRow(int row) const {
    const FileSet* set = SetAt(row);
    return set == nullptr ? nullptr : MakeSetDragData(set->name);
}

void SetListWidget::startDrag(Qt::DropActions) {
    QMimeData* data = DragDataForRow(currentRow());
    if (data == nullptr) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->setPixmap(IconPixmap(ICON_SET, SetRowDelegate::kIconSize));
    NestedLoopScope dragLoop;
    drag->exec(Qt::CopyAction);
}

}  // namespace kivo
