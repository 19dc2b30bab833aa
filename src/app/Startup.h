#pragma once
// From process start to the end of the main window: the first-run marker,
// the application's names, then the main window shown modally. The program
// ends when that window closes.
#include "app/FirstRun.h"

namespace kivo {

class DialogLauncher;

// Names the application after the executable (the settings follow that name).
void NameApplication();

// Runs the program on an existing application object; returns the exit code.
int RunKivo(DialogLauncher& dialogs, const FirstRunActions& firstRunActions);

}  // namespace kivo
