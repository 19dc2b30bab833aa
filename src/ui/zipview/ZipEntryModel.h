#pragma once
// The entries of one archive folder as the viewer's list shows them: name,
// type, size and time, with icons and type texts worked out from the names
// alone the first time they are shown and kept in the entries.
#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <vector>

#include "zip/format/ZipEntry.h"

namespace kivo {

class ZipEntryModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { ColName, ColType, ColSize, ColTime, ColumnCount };

    explicit ZipEntryModel(QObject* parent = nullptr);

    // Folders first, then files, each in the order given.
    void SetEntries(const std::vector<zip::ZipEntry*>& entries);
    void Clear();
    zip::ZipEntry* entryAt(int row) const;

    // Folders stay above files either way; `descending` reverses only the
    // order within them. Selections follow their rows.
    void SortBy(int column, bool descending);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // What the columns show, for one entry.
    const std::string& TypeText(zip::ZipEntry& entry) const;
    QIcon Icon(zip::ZipEntry& entry) const;
    static QString SizeText(const zip::ZipEntry& entry);
    static QString TimeText(const zip::ZipEntry& entry);

private:
    void FillLook(zip::ZipEntry& entry) const;

    std::vector<zip::ZipEntry*> rows_;
    // Icons by theme name; an entry keeps its index here.
    mutable std::vector<QIcon> icons_;
    mutable QHash<QString, int> iconIndexByName_;
};

}  // namespace kivo
