#include "ui/common/FileDialogs.h"

#include <QFileDialog>

namespace kivo {

namespace {

FileDialogScript* activeScript = nullptr;

QString First(const QStringList& paths) { return paths.isEmpty() ? QString() : paths.front(); }

}  // namespace

FileDialogScript::FileDialogScript() : previous_(activeScript) { activeScript = this; }

FileDialogScript::~FileDialogScript() { activeScript = previous_; }

QStringList FileDialogScript::Take(const FileDialogRequest& request) {
    requests_.push_back(request);
    if (answers_.empty()) return {};
    QStringList answer = answers_.front();
    answers_.pop_front();
    return answer;
}

QStringList ChooseOpenFiles(QWidget* parent, const QString& caption, const QString& startPath,
                            const QString& filter) {
    if (activeScript != nullptr) {
        return activeScript->Take({FileDialogKind::OpenFiles, caption, startPath, filter});
    }
    return QFileDialog::getOpenFileNames(parent, caption, startPath, filter);
}

QString ChooseOpenFile(QWidget* parent, const QString& caption, const QString& startPath,
                       const QString& filter) {
    if (activeScript != nullptr) {
        return First(activeScript->Take({FileDialogKind::OpenFile, caption, startPath, filter}));
    }
    return QFileDialog::getOpenFileName(parent, caption, startPath, filter);
}

QString ChooseFolder(QWidget* parent, const QString& caption, const QString& startPath) {
    if (activeScript != nullptr) {
        return First(activeScript->Take({FileDialogKind::Folder, caption, startPath, QString()}));
    }
    return QFileDialog::getExistingDirectory(parent, caption, startPath);
}

QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& startPath,
                       const QString& filter, const QString& defaultSuffix) {
    if (activeScript != nullptr) {
        return First(activeScript->Take({FileDialogKind::SaveFile, caption, startPath, filter}));
    }
    QFileDialog dialog(parent, caption, startPath, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted) return QString();
    return First(dialog.selectedFiles());
}

}  // namespace kivo
