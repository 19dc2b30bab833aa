#pragma once
// Controls that the run and bind dialogs build the same way.
#include <QString>
#include <functional>
#include <initializer_list>
#include <string>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QVBoxLayout;
class QWidget;

namespace kivo {

// Records a control under its id in the dialog that owns it.
using ControlRegistry = std::function<void(int id, QWidget* control)>;

// A group box of radio buttons whose ids are their index, the first
// checked. `firstId` is the control id of the first button.
QButtonGroup* AddRadioGroup(QVBoxLayout* layout, QWidget* dialog, const ControlRegistry& registry,
                            const QString& title, int firstId,
                            std::initializer_list<const char*> texts);

// The "Remove Empty Folders" choice of Delete and Move.
QButtonGroup* AddEmptyFoldersGroup(QVBoxLayout* layout, QWidget* dialog,
                                   const ControlRegistry& registry, const QString& title);

// A static text in pure red, as warnings are drawn.
void MakeRed(QLabel* label);

// The "..." folder button: the chooser starts at the trimmed text of `box`,
// or at the remembered folder `setting` when the box is empty. A chosen
// folder is remembered and put into the box; true then.
bool BrowseForFolder(QWidget* owner, QLineEdit* box, const char* setting);

// The folder typed in `box`, trimmed, shown trimmed and created with its
// parents. False, after the exclamation box "Can not create folder:", when
// it is empty or cannot be created.
bool CreateTypedFolder(QWidget* owner, QLineEdit* box, std::string& folder);

}  // namespace kivo
