#include "ui/sets/SubFolderList.h"

#include <QFile>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QResizeEvent>
#include <QScrollBar>

#include "model/StringTable.h"
#include "platform/Attributes.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "ui/common/Texts.h"
#include "ui/common/WaitCursor.h"

namespace kivo {

namespace {

constexpr int kNameRole = Qt::UserRole + 1;

// Sorts by the shown name, letter case aside.
class FolderRow : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        return QString::compare(text(0), other.text(0), Qt::CaseInsensitive) < 0;
    }
};

}  // namespace

SubFolderList::SubFolderList(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderLabels({UiText(IDS_COL_NAME)});
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    header()->setSectionsClickable(true);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this, [this] { SortByName(); });
}

void SubFolderList::Fill(const std::string& folder) {
    const WaitCursor wait;
    clear();
    folder_ = folder;
    if (folder.empty()) return;
    static const QFileIconProvider icons;
    const QIcon folderIcon = icons.icon(QFileIconProvider::Folder);
    FolderEnumerator listing;
    if (!listing.Open(folder)) return;
    FindData data;
    while (listing.Next(data)) {
        if (data.name.empty() || data.name.front() == '.') continue;
        if ((data.attributes & ATTR_DIRECTORY) == 0) continue;
        auto* row = new FolderRow(this);
        row->setText(0, QFile::decodeName(QByteArray::fromStdString(data.name)));
        row->setIcon(0, folderIcon);
        row->setData(0, kNameRole, QByteArray::fromStdString(data.name));
    }
}

std::vector<std::string> SubFolderList::SelectedPaths() const {
    std::vector<std::string> paths;
    for (int row = 0; row < topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = topLevelItem(row);
        if (item->isSelected()) {
            paths.push_back(JoinPath(folder_, item->data(0, kNameRole).toByteArray().toStdString()));
        }
    }
    return paths;
}

void SubFolderList::SortByName() {
    if (topLevelItemCount() < 2) return;
    ascending_ = !ascending_;
    const WaitCursor wait;
    sortItems(0, ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void SubFolderList::resizeEvent(QResizeEvent* event) {
    QTreeWidget::resizeEvent(event);
    const int thumb = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    setColumnWidth(0, qMax(0, viewport()->width() - thumb));
}

}  // namespace kivo
