#pragma once
// What assistive technology is told beyond Qt's own interfaces: the set
// chooser keeps its name ("Kivo") with the chosen set as its value, and a
// read-only box reports itself read-only while its text stays readable, and
// an open menu is one of the application's windows.
class QLineEdit;

namespace kivo {

// Installs the interface factory, ahead of Qt's own; every widget that
// needs it calls this before its interface can be asked for.
void InstallAccessibleInterfaces();

// Makes `box` read-only or editable and drops the interface assistive
// technology holds for it, so the next one reports the new state.
void SetBoxReadOnly(QLineEdit* box, bool readOnly);

}  // namespace kivo
