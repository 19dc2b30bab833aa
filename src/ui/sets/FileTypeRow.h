#pragma once
// One row of the Filter Builder: an extension with its sample file, count
// and size. The type name and icon come from the sample's name alone (no
// file is opened) and are looked up once, the first time the row is shown
// or sorted.
#include <QIcon>
#include <QTreeWidgetItem>

#include "scan/Survey.h"

namespace kivo {

class FileTypeRow : public QTreeWidgetItem {
public:
    explicit FileTypeRow(const FileTypeRecord& record);

    const FileTypeRecord& record() const { return record_; }
    QString extension() const;
    // Empty when the toolkit knows no name for the type.
    QString typeName() const;
    bool lookedUp() const { return lookedUp_; }

    QVariant data(int column, int role) const override;
    // By the tree's sort column: extensions and type names ignoring letter
    // case (a missing type name compares equal to anything), counts and
    // sizes as numbers.
    bool operator<(const QTreeWidgetItem& other) const override;

private:
    void LookUp() const;

    FileTypeRecord record_;
    mutable bool lookedUp_ = false;
    mutable QString typeName_;
    mutable QIcon icon_;
};

}  // namespace kivo
