#pragma once
// What the four bind dialogs share: the set chooser under "Kivo:", the
// destination folder with its "..." button, "OK" and "Cancel", and the
// buttons re-evaluated together after each change. A bind dialog only
// collects values: its caller fills it from a record, and on OK merges the
// values back into that record; nothing is stored by the dialog itself
// besides the folder remembered by "...".
#include <QDialog>
#include <map>
#include <string>

class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace kivo {

class Operation;
class SetChooser;

enum BindControlId : int {
    ID_BIND_OK = 1,
    ID_BIND_CANCEL = 2,
    ID_BIND_SET = 1000,
    ID_BIND_PASSES = 1021,
    ID_BIND_DESTINATION = 1023,
    ID_BIND_BROWSE = 1024,
    ID_BIND_OVERWRITE_ALWAYS = 1025,
    ID_BIND_PASSWORD = 1031,
    ID_BIND_AES = 1032,
    ID_BIND_FIXED_NAME_CHOICE = 1041,
    ID_BIND_PREFIX_CHOICE = 1042,
    ID_BIND_FIXED_NAME = 1043,
    ID_BIND_PREFIX = 1044,
    ID_BIND_SKIP_IF_MISSING = 1059,
    ID_BIND_EMPTY_FOLDERS_YES = 1061,
};

class BindDialogBase : public QDialog {
    Q_OBJECT

public:
    ~BindDialogBase() override;

    QWidget* control(int id) const;
    QPushButton* button(int id) const;
    SetChooser* chooser() const { return chooser_; }

    // Shows the record's set and options. A new record shows the values of
    // an empty dialog.
    virtual void FillFrom(const Operation& operation);
    // After OK: writes the set and this kind's options into `operation`;
    // fields and flag bits the dialog does not show keep their values.
    virtual void ApplyTo(Operation& operation) const;

public slots:
    // "OK": checks and tidies the values, then closes; stays open when a
    // destination folder cannot be created.
    void accept() override;
    // Re-evaluates "OK"; the base enables it when a set is selected.
    virtual void Refresh();

protected:
    // Every bind dialog is 251 dialog units wide; `heightUnits` tall.
    BindDialogBase(const QString& caption, int heightUnits, QWidget* parent);

    void AddControl(int id, QWidget* widget);
    // Layout pieces, called in the order of the controls.
    void AddChooser(QVBoxLayout* layout);
    // "Destination Folder:", its box and "...", which starts at the
    // remembered folder `setting` when the box is empty.
    void AddDestination(QVBoxLayout* layout, const char* setting);
    void AddButtons(QVBoxLayout* layout);

    // Reads the controls on OK; false keeps the dialog open.
    virtual bool Confirm() { return true; }
    // Creates the typed destination; false, after telling the user, when
    // it cannot be created.
    bool ConfirmDestination();

    void QueueRefresh();
    std::string TrimmedDestination() const;
    QLineEdit* destination() const { return destination_; }

    void showEvent(QShowEvent* event) override;

private:
    std::map<int, QWidget*> controls_;
    SetChooser* chooser_ = nullptr;
    QLineEdit* destination_ = nullptr;
    const char* folderSetting_ = nullptr;
    QPushButton* ok_ = nullptr;
    bool refreshQueued_ = false;
};

}  // namespace kivo
