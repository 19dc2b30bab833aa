#include "ui/sets/FolderTree.h"

#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QHeaderView>
#include <algorithm>
#include <vector>

#include "platform/Attributes.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "settings/Settings.h"
#include "ui/common/WaitCursor.h"

namespace kivo {

namespace {

constexpr int kPathRole = Qt::UserRole + 1;
constexpr char kLastFolderSetting[] = "lastfolder";

QString ShownName(const std::string& name) { return QFile::decodeName(QByteArray::fromStdString(name)); }

std::vector<std::string> PathComponents(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(kSeparator, start);
        if (end == std::string::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

}  // namespace

FolderTree::FolderTree(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    header()->hide();
    // Deep folders scroll sideways instead of losing their names.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (item->childCount() == 0) ListChildren(item);
    });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) { DropChildren(item); });
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        const std::string path = SelectedFolder();
        if (!path.empty()) emit folderSelected(QFile::decodeName(QByteArray::fromStdString(path)));
    });
}

std::string FolderTree::StartingFolder(const std::string& given) {
    std::string folder = given.empty() ? GetSetting(kLastFolderSetting) : given;
    if (folder.empty() || !IsFolder(folder)) folder = QFile::encodeName(QDir::homePath()).toStdString();
    return folder;
}

std::string FolderTree::PathOf(const QTreeWidgetItem* item) {
    if (item == nullptr) return {};
    return item->data(0, kPathRole).toByteArray().toStdString();
}

QTreeWidgetItem* FolderTree::AddFolderItem(QTreeWidgetItem* parent, const std::string& path,
                                           const QString& text) {
    static const QFileIconProvider icons;
    auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, text);
    item->setIcon(0, icons.icon(QFileIconProvider::Folder));
    item->setData(0, kPathRole, QByteArray::fromStdString(path));
    // Whether a folder has sub-folders is learnt when it is opened: asking
    // for every child in advance would list every folder shown.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

void FolderTree::Fill(const std::string& folder) {
    clear();
    QTreeWidgetItem* root = AddFolderItem(nullptr, std::string(1, kSeparator), QStringLiteral("/"));
    root->setExpanded(true);
    SelectFolder(folder);
}

void FolderTree::ListChildren(QTreeWidgetItem* item) {
    const WaitCursor wait;
    const std::string path = PathOf(item);
    std::vector<std::pair<QString, std::string>> children;
    FolderEnumerator folder;
    if (folder.Open(path)) {
        FindData data;
        while (folder.Next(data)) {
            if (data.name == "." || data.name == "..") continue;
            if ((data.attributes & ATTR_DIRECTORY) == 0) continue;
            children.emplace_back(ShownName(data.name), data.name);
        }
    }
    // As file managers order them: by name, letter case aside.
    std::sort(children.begin(), children.end(), [](const auto& a, const auto& b) {
        const int byName = QString::compare(a.first, b.first, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a.second < b.second;
    });
    setUpdatesEnabled(false);
    for (const auto& [text, name] : children) AddFolderItem(item, JoinPath(path, name), text);
    setUpdatesEnabled(true);
    if (children.empty()) {
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    }
}

void FolderTree::DropChildren(QTreeWidgetItem* item) {
    // A selected folder inside the closed branch hands the selection to
    // the folder that closed, as it is the one still visible.
    for (QTreeWidgetItem* at = currentItem(); at != nullptr; at = at->parent()) {
        if (at->parent() == item) {
            setCurrentItem(item);
            break;
        }
    }
    qDeleteAll(item->takeChildren());
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
}

bool FolderTree::SelectFolder(const std::string& folder) {
    QTreeWidgetItem* at = topLevelItem(0);
    if (at == nullptr || folder.empty() || folder.front() != kSeparator) {
        clearSelection();
        return false;
    }
    for (const std::string& name : PathComponents(folder)) {
        if (at->childCount() == 0) ListChildren(at);
        at->setExpanded(true);
        QTreeWidgetItem* match = nullptr;
        const std::string wanted = JoinPath(PathOf(at), name);
        for (int i = 0; i < at->childCount() && match == nullptr; ++i) {
            if (PathOf(at->child(i)) == wanted) match = at->child(i);
        }
        if (match == nullptr) {
            clearSelection();
            return false;
        }
        at = match;
    }
    setCurrentItem(at);
    scrollToItem(at);
    return true;
}

std::string FolderTree::SelectedFolder() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? std::string() : PathOf(selected.front());
}

void FolderTree::RememberFolder() const {
    const std::string folder = SelectedFolder();
    if (!folder.empty() && folder.front() == kSeparator) PutSetting(kLastFolderSetting, folder);
}

}  // namespace kivo
