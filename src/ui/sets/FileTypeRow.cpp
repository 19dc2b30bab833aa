#include "ui/sets/FileTypeRow.h"

#include <QFile>
#include <QFileIconProvider>
#include <QMimeDatabase>

#include "scan/Format.h"
#include "ui/sets/FilterBuilderTemplate.h"

namespace kivo {

using namespace filter_builder;

FileTypeRow::FileTypeRow(const FileTypeRecord& record) : record_(record) {
    setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    setCheckState(COL_EXT, Qt::Unchecked);
    setText(COL_EXT, extension());
    setText(COL_COUNT, QString::fromStdString(FormatCount(record.fileCount)));
    setText(COL_SIZE, QString::fromStdString(FormatSize(record.totalSize)));
    setTextAlignment(COL_COUNT, Qt::AlignRight | Qt::AlignVCenter);
    setTextAlignment(COL_SIZE, Qt::AlignRight | Qt::AlignVCenter);
}

QString FileTypeRow::extension() const {
    return QFile::decodeName(QByteArray::fromStdString(record_.Extension()));
}

void FileTypeRow::LookUp() const {
    if (lookedUp_) return;
    lookedUp_ = true;
    const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(
        QFile::decodeName(QByteArray::fromStdString(record_.sampleName)), QMimeDatabase::MatchExtension);
    typeName_ = type.comment();
    static const QFileIconProvider icons;
    icon_ = QIcon::fromTheme(type.iconName(),
                             QIcon::fromTheme(type.genericIconName(), icons.icon(QFileIconProvider::File)));
}

QString FileTypeRow::typeName() const {
    LookUp();
    return typeName_;
}

QVariant FileTypeRow::data(int column, int role) const {
    if (column == COL_TYPE && role == Qt::DisplayRole) return typeName();
    if (column == COL_EXT && role == Qt::DecorationRole) {
        LookUp();
        return icon_;
    }
    return QTreeWidgetItem::data(column, role);
}

bool FileTypeRow::operator<(const QTreeWidgetItem& other) const {
    const auto* row = dynamic_cast<const FileTypeRow*>(&other);
    if (row == nullptr) return QTreeWidgetItem::operator<(other);
    switch (treeWidget() != nullptr ? treeWidget()->sortColumn() : COL_EXT) {
    case COL_TYPE: {
        const QString mine = typeName();
        const QString theirs = row->typeName();
        if (mine.isEmpty() || theirs.isEmpty()) return false;
        return QString::compare(mine, theirs, Qt::CaseInsensitive) < 0;
    }
    case COL_COUNT:
        return record_.fileCount < row->record_.fileCount;
    case COL_SIZE:
        return record_.totalSize < row->record_.totalSize;
    default:
        return QString::compare(extension(), row->extension(), Qt::CaseInsensitive) < 0;
    }
}

}  // namespace kivo
