#pragma once
// The folder chooser behind every "..." folder button.
#include <string>

class QWidget;

namespace kivo {

// Opens the folder chooser at `folder` when that names an existing folder
// (elsewhere the chooser picks its own start). True and the chosen folder
// in `folder` when the user confirms; `folder` is unchanged otherwise.
bool PickFolder(QWidget* owner, std::string& folder);

}  // namespace kivo
