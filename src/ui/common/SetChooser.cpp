#include "ui/common/SetChooser.h"

#include <QPushButton>
#include <string_view>
#include <vector>

#include "model/NameLookup.h"
#include "model/SetList.h"
#include "model/SetName.h"
#include "model/StringTable.h"
#include "ui/common/Accessibility.h"
#include "ui/common/DialogLauncher.h"
#include "ui/common/StoreFiles.h"

namespace kivo {

namespace {

constexpr int kPropertyId = 1003;
constexpr int kCreateId = 1047;

}  // namespace

SetChooser::SetChooser(QWidget* parent, DialogLauncher* launcher, QWidget* buttonParent)
    : QComboBox(parent), launcher_(launcher) {
    InstallAccessibleInterfaces();
    setEditable(false);
    SetList list;
    list.Load(SetStoreFile());
    sets_ = std::move(list.sets);
    for (int i = 0; i < setCount(); ++i) AddItem(i);
    setCurrentIndex(-1);
    connect(this, &QComboBox::currentIndexChanged, this, &SetChooser::setsChanged);

    if (launcher_ != nullptr) {
        QWidget* owner = buttonParent != nullptr ? buttonParent : parent;
        propertyButton_ = new QPushButton(tr("Property..."), owner);
        propertyButton_->setProperty("controlId", kPropertyId);
        propertyButton_->setAutoDefault(false);
        createButton_ = new QPushButton(tr("Create..."), owner);
        createButton_->setProperty("controlId", kCreateId);
        createButton_->setAutoDefault(false);
        connect(propertyButton_, &QPushButton::clicked, this, &SetChooser::Property);
        connect(createButton_, &QPushButton::clicked, this, &SetChooser::Create);
        RefreshButtons();
    }
}

SetChooser::~SetChooser() = default;

int SetChooser::AddItem(int setIndex) {
    const QString name = QString::fromStdString(sets_[setIndex]->name);
    int row = 0;
    // After every item that sorts before or equal, so equal names keep
    // the order in which they arrived.
    while (row < count() && QString::compare(itemText(row), name, Qt::CaseInsensitive) <= 0) ++row;
    // Inserting into an empty box would select the new item by itself.
    const QSignalBlocker quiet(this);
    const int selected = currentIndex();
    insertItem(row, name, setIndex);
    if (selected < 0) setCurrentIndex(-1);
    return row;
}

FileSet* SetChooser::SelectedSet() const {
    const int row = currentIndex();
    if (row < 0) return nullptr;
    bool ok = false;
    const int index = itemData(row).toInt(&ok);
    if (!ok || index < 0 || index >= setCount()) return nullptr;
    return sets_[index].get();
}

void SetChooser::SelectByName(const std::string& name) {
    int found = -1;
    if (!name.empty()) {
        // Of sets named alike in other letter cases the exact spelling wins;
        // a name that fits several, none exactly, selects none of them.
        std::vector<std::string_view> names;
        for (int row = 0; row < count(); ++row) names.push_back(sets_[itemData(row).toInt()]->name);
        const NameMatch match = MatchName(names, name);
        if (match.found()) found = static_cast<int>(match.index);
    }
    setCurrentIndex(found);
    RefreshButtons();
}

void SetChooser::RefreshButtons() {
    if (propertyButton_ != nullptr) propertyButton_->setEnabled(SelectedSet() != nullptr);
}

void SetChooser::Create() {
    if (launcher_ == nullptr) return;
    const std::string name = FormatText(IDS_UNTITLED_SET, createdCount_ + 1);
    std::unique_ptr<FileSet> set = launcher_->CreateNamedSet(window(), name);
    if (set != nullptr) {
        ++createdCount_;
        sets_.push_back(std::move(set));
        setCurrentIndex(AddItem(setCount() - 1));
    }
    RefreshButtons();
    emit setsChanged();
}

void SetChooser::Property() {
    FileSet* set = SelectedSet();
    if (launcher_ == nullptr || set == nullptr) return;
    const std::string before = set->name;
    const int index = itemData(currentIndex()).toInt();
    if (launcher_->EditSet(window(), *set, {}) && !SameSetName(before, set->name)) {
        {
            const QSignalBlocker quiet(this);
            removeItem(currentIndex());
            setCurrentIndex(-1);
        }
        setCurrentIndex(AddItem(index));
    }
    RefreshButtons();
    emit setsChanged();
}

}  // namespace kivo
