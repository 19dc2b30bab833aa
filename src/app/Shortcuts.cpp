#include "app/Shortcuts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include "app/DesktopEntry.h"
#include "platform/FileSystem.h"

namespace kivo {

namespace {

std::string WithSlash(QString folder) {
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder.toStdString();
}

std::string ShortcutPath(const std::string& place, const std::string& name) {
    if (place.empty() || name.empty()) return std::string();
    return place + name + ".desktop";
}

std::string RunningExecutable() { return QCoreApplication::applicationFilePath().toStdString(); }

// Desktops that guard launchers on the desktop ask before starting one that
// carries no trust mark. Setting it is a courtesy: without gio, or without a
// session to keep file metadata, the launcher still works after one
// confirmation.
void MarkTrusted(const std::string& path) {
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty()) return;
    QProcess process;
    process.setProgram(gio);
    process.setArguments({QStringLiteral("set"), QString::fromStdString(path),
                          QStringLiteral("metadata::trusted"), QStringLiteral("true")});
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.startDetached();
}

bool Create(const std::string& path, const std::string& name) {
    if (path.empty()) return false;
    if (PathExists(path)) return true;
    const std::optional<std::string> text = DesktopEntryText(name, RunningExecutable());
    if (!text) return false;
    // Written whole or not at all: a partial file would pass as an existing
    // launcher from then on.
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(text->data(), static_cast<qint64>(text->size()));
    if (!file.commit()) return false;
    // Readable by all and executable: launchers elsewhere than the menus
    // only start when they are marked executable.
    return QFile::setPermissions(QString::fromStdString(path),
                                 QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                     QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                     QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                     QFileDevice::ExeOther);
}

bool Delete(const std::string& path) {
    if (path.empty()) return false;
    if (!PathExists(path) && !IsLink(path)) return true;
    RemoveFile(path);
    return !PathExists(path) && !IsLink(path);
}

}  // namespace

std::string DesktopPlace() {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (desktop.isEmpty() || !IsFolder(desktop.toStdString())) return std::string();
    return WithSlash(desktop);
}

std::string ProgramsPlace() {
    const QString applications =
        QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    if (applications.isEmpty()) return std::string();
    const QString folder = applications + QLatin1Char('/') + QLatin1String(kProgramsFolderName);
    QDir().mkpath(folder);
    if (!IsFolder(folder.toStdString())) return std::string();
    return WithSlash(folder);
}

bool DesktopShortcutExists(const std::string& name) {
    const std::string path = ShortcutPath(DesktopPlace(), name);
    return !path.empty() && PathExists(path);
}

bool CreateDesktopShortcut(const std::string& name) {
    const std::string path = ShortcutPath(DesktopPlace(), name);
    const bool existed = !path.empty() && PathExists(path);
    if (!Create(path, name)) return false;
    if (!existed) MarkTrusted(path);
    return true;
}

bool DeleteDesktopShortcut(const std::string& name) {
    return Delete(ShortcutPath(DesktopPlace(), name));
}

bool ProgramsShortcutExists(const std::string& name) {
    const std::string path = ShortcutPath(ProgramsPlace(), name);
    return !path.empty() && PathExists(path);
}

bool CreateProgramsShortcut(const std::string& name) {
    return Create(ShortcutPath(ProgramsPlace(), name), name);
}

bool DeleteProgramsShortcut(const std::string& name) {
    const std::string place = ProgramsPlace();
    const std::string path = ShortcutPath(place, name);
    if (path.empty()) return false;
    const bool gone = Delete(path);
    // Fails while other launchers are still in the folder; that is meant.
    RemoveFolder(place.substr(0, place.size() - 1));
    return gone;
}

FirstRunActions CreateShortcutsOnFirstRun() {
    return [] {
        CreateDesktopShortcut(kShortcutName);
        CreateProgramsShortcut(kShortcutName);
    };
}

}  // namespace kivo
