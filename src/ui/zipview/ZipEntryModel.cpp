#include "ui/zipview/ZipEntryModel.h"

#include <QFileIconProvider>
#include <QMimeDatabase>
#include <algorithm>
#include <cstdio>
#include <numeric>

#include "model/StringTable.h"
#include "platform/FileTime.h"
#include "scan/Format.h"
#include "ui/common/Texts.h"

namespace kivo {

using zip::ZipEntry;

ZipEntryModel::ZipEntryModel(QObject* parent) : QAbstractTableModel(parent) {}

void ZipEntryModel::SetEntries(const std::vector<ZipEntry*>& entries) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(entries.size());
    for (ZipEntry* entry : entries) {
        if (entry->isFolder) rows_.push_back(entry);
    }
    for (ZipEntry* entry : entries) {
        if (!entry->isFolder) rows_.push_back(entry);
    }
    endResetModel();
}

void ZipEntryModel::Clear() { SetEntries({}); }

ZipEntry* ZipEntryModel::entryAt(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[row] : nullptr;
}

int ZipEntryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ZipEntryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ZipEntryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) return UiText(IDS_COL_NAME + section);
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(section == ColSize ? Qt::AlignRight | Qt::AlignVCenter
                                                      : Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

QVariant ZipEntryModel::data(const QModelIndex& index, int role) const {
    ZipEntry* entry = entryAt(index.row());
    if (entry == nullptr) return {};
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case ColName: return QString::fromStdString(entry->displayName);
        case ColType: return QString::fromStdString(TypeText(*entry));
        case ColSize: return SizeText(*entry);
        case ColTime: return TimeText(*entry);
        default: return {};
        }
    }
    if (role == Qt::DecorationRole && index.column() == ColName) return Icon(*entry);
    if (role == Qt::TextAlignmentRole && index.column() == ColSize) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

void ZipEntryModel::FillLook(ZipEntry& entry) const {
    if (entry.iconIndex >= 0) return;
    static const QMimeDatabase mimeDatabase;
    static const QFileIconProvider provider;
    QString themeName;
    QIcon fallback;
    if (entry.isFolder) {
        // A folder's look never depends on its name.
        entry.typeText = mimeDatabase.mimeTypeForName(QStringLiteral("inode/directory"))
                             .comment()
                             .toStdString();
        themeName = QStringLiteral("folder");
        fallback = provider.icon(QFileIconProvider::Folder);
    } else {
        // By the name's extension only: the entry is not a file on disk.
        const QMimeType type = mimeDatabase.mimeTypeForFile(
            QString::fromStdString(entry.displayName), QMimeDatabase::MatchExtension);
        entry.typeText = type.comment().toStdString();
        themeName = type.iconName();
        fallback = QIcon::fromTheme(type.genericIconName(),
                                    provider.icon(QFileIconProvider::File));
    }
    const auto known = iconIndexByName_.constFind(themeName);
    if (known != iconIndexByName_.constEnd()) {
        entry.iconIndex = *known;
        return;
    }
    icons_.push_back(QIcon::fromTheme(themeName, fallback));
    entry.iconIndex = static_cast<int>(icons_.size()) - 1;
    iconIndexByName_.insert(themeName, entry.iconIndex);
}

const std::string& ZipEntryModel::TypeText(ZipEntry& entry) const {
    FillLook(entry);
    return entry.typeText;
}

QIcon ZipEntryModel::Icon(ZipEntry& entry) const {
    FillLook(entry);
    return icons_[static_cast<std::size_t>(entry.iconIndex)];
}

QString ZipEntryModel::SizeText(const ZipEntry& entry) {
    if (entry.isFolder) return {};
    return QString::fromStdString(FormatSize(entry.uncompressedSize));
}

QString ZipEntryModel::TimeText(const ZipEntry& entry) {
    TimeParts parts;
    if (entry.isFolder || !FileTimeToLocalParts(entry.time, parts)) return {};
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.year, parts.month,
                  parts.day, parts.hour, parts.minute, parts.second);
    return QString::fromLatin1(text);
}

void ZipEntryModel::SortBy(int column, bool descending) {
    const std::size_t count = rows_.size();
    // Case-insensitive keys are made once, not in every comparison.
    std::vector<QString> keys;
    if (column == ColName || column == ColType) {
        keys.reserve(count);
        for (ZipEntry* entry : rows_) {
            const std::string& text = column == ColName ? entry->displayName : TypeText(*entry);
            keys.push_back(QString::fromStdString(text).toCaseFolded());
        }
    }
    // -1, 0 or 1 for two rows of the same kind.
    auto compare = [&](std::size_t a, std::size_t b) -> int {
        const ZipEntry& x = *rows_[a];
        const ZipEntry& y = *rows_[b];
        switch (column) {
        case ColName:
        case ColType: return keys[a].compare(keys[b]);
        case ColSize:
            return x.uncompressedSize < y.uncompressedSize ? -1 : (x.uncompressedSize > y.uncompressedSize);
        default: return x.time < y.time ? -1 : (x.time > y.time);
        }
    };
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (rows_[a]->isFolder != rows_[b]->isFolder) return rows_[a]->isFolder;
        const int result = compare(a, b);
        return descending ? result > 0 : result < 0;
    });

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(count);
    std::vector<ZipEntry*> sorted(count);
    for (std::size_t row = 0; row < count; ++row) {
        sorted[row] = rows_[order[row]];
        newRowOf[order[row]] = static_cast<int>(row);
    }
    rows_ = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        after.push_back(this->index(newRowOf[static_cast<std::size_t>(index.row())], index.column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace kivo
