#pragma once
// The bind dialog of each kind of operation: "Bind Kivo Delete",
// "Bind Kivo Copy", "Bind Kivo Move" and "Bind Kivo Zip".
#include <QString>
#include <memory>

#include "ui/bind/BindDialogBase.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;

namespace kivo {

class BindDeleteDialog : public BindDialogBase {
    Q_OBJECT

public:
    explicit BindDeleteDialog(QWidget* parent = nullptr);
    void FillFrom(const Operation& operation) override;
    void ApplyTo(Operation& operation) const override;

private:
    QButtonGroup* emptyFolders_ = nullptr;
    QLineEdit* passes_ = nullptr;
};

// Copy, and Move with its "Remove Empty Source Folders" choice.
class BindTransferDialog : public BindDialogBase {
    Q_OBJECT

public:
    BindTransferDialog(bool move, QWidget* parent = nullptr);
    void FillFrom(const Operation& operation) override;
    void ApplyTo(Operation& operation) const override;
    void Refresh() override;

protected:
    bool Confirm() override;

private:
    QButtonGroup* overwrite_ = nullptr;
    QCheckBox* skipIfMissing_ = nullptr;
    QButtonGroup* emptyFolders_ = nullptr;  // Move only
};

class BindZipDialog : public BindDialogBase {
    Q_OBJECT

public:
    explicit BindZipDialog(QWidget* parent = nullptr);
    void FillFrom(const Operation& operation) override;
    void ApplyTo(Operation& operation) const override;
    void Refresh() override;

protected:
    bool Confirm() override;

private:
    QLineEdit* chosenNameBox() const;

    QButtonGroup* nameChoice_ = nullptr;  // 0 fixed name, 1 prefix
    QLineEdit* fixedName_ = nullptr;
    QLineEdit* prefix_ = nullptr;
    QLineEdit* password_ = nullptr;
    QCheckBox* aes_ = nullptr;
};

// The dialog of `kind`; null for a kind that has none.
std::unique_ptr<BindDialogBase> MakeBindDialog(int kind, QWidget* parent);

// Whether `name`, trimmed, can name an archive: not empty and free of the
// characters file names cannot hold.
bool IsUsableZipName(const QString& name);

}  // namespace kivo
