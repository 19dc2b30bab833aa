#pragma once
// The dialogs the main window opens: the set editor, the run and bind
// dialogs, the zip viewer, About and Configure. The windows reach one
// another only through this interface (a run dialog's chooser opens the set
// editor through it), so no window folder depends on another, and tests can
// put a recording launcher in its place. The real one is WindowLauncher.
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace kivo {

class FileSet;
class Operation;

class DialogLauncher {
public:
    virtual ~DialogLauncher() = default;

    // The set editor on a new set; the new set on OK, null on Cancel.
    // `namesInUse` are the names the new name must not repeat.
    virtual std::unique_ptr<FileSet> CreateSet(QWidget* parent,
                                               const std::vector<std::string>& namesInUse) = 0;
    // The set editor on an existing set; true on OK, when it has written the
    // name and entries into `set`.
    virtual bool EditSet(QWidget* parent, FileSet& set, const std::vector<std::string>& namesInUse) = 0;
    // The set editor for a run dialog's chooser: a new set that takes
    // `fixedName`, shown read-only, with no duplicate test. Null on Cancel.
    virtual std::unique_ptr<FileSet> CreateNamedSet(QWidget* parent, const std::string& fixedName) = 0;

    // The bind dialog of `operation.kind`, on a new record or on a copy of a
    // saved one; true on OK, when it has written its values into `operation`.
    virtual bool BindOperation(QWidget* parent, Operation& operation, bool isNew) = 0;

    // The run dialog of `kind` with `setName` preselected (empty: none).
    // `saved` is the saved operation whose options fill the dialog and which
    // starts by itself, or null. True when the run completed.
    virtual bool RunOperation(QWidget* parent, int kind, const std::string& setName,
                              const Operation* saved) = 0;

    virtual void ShowZipViewer(QWidget* parent) = 0;
    virtual void ShowAbout(QWidget* parent) = 0;
    virtual void ShowConfigure(QWidget* parent) = 0;
};

}  // namespace kivo
