#include "app/Uninstall.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <unistd.h>

#include "app/FirstRun.h"
#include "app/Shortcuts.h"
#include "model/StringTable.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "settings/Settings.h"
#include "ui/common/MessageBoxes.h"
#include "ui/common/Texts.h"

namespace kivo {

namespace {

constexpr char kQuestion[] = "This will remove Kivo from your computer.\r\nAre you sure?";

QString SettingsFile(QSettings::Scope scope, const QString& application) {
    return QSettings(QSettings::NativeFormat, scope, QString::fromLatin1(kOrganisation), application)
        .fileName();
}

// What cannot be removed (the system file without the rights for it, a
// folder that still holds other programs' settings) stays, silently.
void RemoveSettingsFile(const QString& file) {
    const std::string path = file.toStdString();
    RemoveFile(path);
    RemoveFolder(ParentFolder(path));
}

void RemoveSettings() {
    const QString firstRun = QString::fromLatin1(kFirstRunApplication);
    RemoveSettingsFile(SettingsFile(QSettings::UserScope, QCoreApplication::applicationName()));
    RemoveSettingsFile(SettingsFile(QSettings::UserScope, firstRun));
    RemoveSettingsFile(SettingsFile(QSettings::SystemScope, firstRun));
}

QString PackageMessage(const std::string& package) {
    return QStringLiteral(
               "Kivo was installed by the package \"%1\", so its program files are left to "
               "the package manager.\nThe shortcuts and settings are removed; to remove the "
               "program, remove the package \"%1\" with your package manager, for example:\n"
               "sudo apt remove %1")
        .arg(QString::fromStdString(package));
}

}  // namespace

std::string DpkgOwnerOf(const std::string& path) {
    const QString dpkgQuery = QStandardPaths::findExecutable(QStringLiteral("dpkg-query"));
    if (dpkgQuery.isEmpty()) return std::string();
    QProcess process;
    process.start(dpkgQuery, {QStringLiteral("-S"), QString::fromStdString(path)});
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        return std::string();
    }
    // "package[, package...]: path" per line; diversions have lines of their
    // own, which do not name an owner.
    const QString wanted = QStringLiteral(": ") + QString::fromStdString(path);
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("diversion ")) || !line.endsWith(wanted)) continue;
        return line.left(line.size() - wanted.size()).trimmed().toStdString();
    }
    return std::string();
}

UninstallTarget RunningProgram() {
    return {QCoreApplication::applicationFilePath().toStdString(), DpkgOwnerOf};
}

UninstallResult Uninstall(QWidget* parent, const UninstallTarget& target) {
    if (!AskYesNo(parent, DisplayText(kQuestion))) return UninstallResult::Declined;
    DeleteDesktopShortcut(kShortcutName);
    DeleteProgramsShortcut(kShortcutName);
    RemoveSettings();

    const std::string package = target.packageOwner ? target.packageOwner(target.executable) : "";
    if (!package.empty()) {
        ShowInformation(parent, PackageMessage(package));
        return UninstallResult::PackageKept;
    }
    if (!RemoveFile(target.executable)) {
        // Typically a program copied into a system folder by hand: without
        // this message the user would not learn that the file is still there.
        ShowInformation(parent, UiText(IDS_CANNOT_DELETE_FILE, target.executable));
        return UninstallResult::ExecutableKept;
    }
    // A running program's file can go at once; ending here, without the usual
    // shutdown, keeps the main window from writing its settings again.
    ::_exit(kUninstalledExitCode);
}

}  // namespace kivo
