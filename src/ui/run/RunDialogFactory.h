#pragma once
// The run dialog of each kind of operation.
#include <memory>
#include <string>

#include "ui/run/RunDialogBase.h"

namespace kivo {

// The dialog of `kind` (Delete, Copy, Move or Zip) with `setName` to
// select. With `saved` the dialog is filled from that operation and starts
// by itself when it can. Null for any other kind.
std::unique_ptr<RunDialogBase> MakeRunDialog(int kind, const std::string& setName,
                                         const Operation* saved, DialogLauncher& launcher,
                                         QWidget* parent);

}  // namespace kivo
