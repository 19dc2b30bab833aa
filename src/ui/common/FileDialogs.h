#pragma once
// Every file and folder chooser of the program goes through here, so tests
// give the answer instead of waiting on a modal loop (as MessageScript does
// for message boxes). An empty answer is a cancelled chooser.
#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

class QWidget;

namespace kivo {

enum class FileDialogKind { OpenFiles, OpenFile, Folder, SaveFile };

struct FileDialogRequest {
    FileDialogKind kind;
    QString caption;
    QString startPath;  // folder or file the chooser starts at
    QString filter;     // e.g. "Zip Files (*.zip)"; empty for folders
};

// Several existing files; empty when cancelled.
QStringList ChooseOpenFiles(QWidget* parent, const QString& caption, const QString& startPath,
                            const QString& filter = QString());
// One existing file; empty when cancelled.
QString ChooseOpenFile(QWidget* parent, const QString& caption, const QString& startPath,
                       const QString& filter);
// An existing folder; empty when cancelled.
QString ChooseFolder(QWidget* parent, const QString& caption, const QString& startPath);
// A file to write. `defaultSuffix` (without the dot) is added when the
// typed name has none; the chooser confirms overwriting an existing file.
QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& startPath,
                       const QString& filter, const QString& defaultSuffix);

// While a script is installed, choosers are not shown: each request is
// recorded and takes the next scripted answer (nothing, that is cancel,
// when the answers ran out). An answer of several files is one entry.
class FileDialogScript {
public:
    FileDialogScript();
    ~FileDialogScript();
    FileDialogScript(const FileDialogScript&) = delete;
    FileDialogScript& operator=(const FileDialogScript&) = delete;

    void Answer(const QStringList& paths) { answers_.push_back(paths); }
    void Answer(const QString& path) { answers_.push_back(QStringList{path}); }
    void Cancel() { answers_.push_back(QStringList{}); }
    const std::vector<FileDialogRequest>& requests() const { return requests_; }

    QStringList Take(const FileDialogRequest& request);

private:
    std::deque<QStringList> answers_;
    std::vector<FileDialogRequest> requests_;
    FileDialogScript* previous_;
};

}  // namespace kivo
