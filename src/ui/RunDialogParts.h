#pragma once
// Controls more than one run dialog builds the same way.
#include <QString>
#include <initializer_list>

class QButtonGroup;
class QLabel;
class QVBoxLayout;
class QWidget;

namespace kivo {

class RunDialog;

// A group box of radio buttons whose ids are their index, the first
// checked. `firstId` is the control id of the first button.
QButtonGroup* AddRadioGroup(QVBoxLayout* layout, RunDialog* dialog, const QString& title,
                            int firstId, std::initializer_list<const char*> texts);

// The "Remove Empty Folders" choice of Delete and Move.
QButtonGroup* AddEmptyFoldersGroup(QVBoxLayout* layout, RunDialog* dialog, const QString& title);

// A static text in pure red, as warnings are drawn.
void MakeRed(QLabel* label);

}  // namespace kivo
