// Not a test by itself: the desktop program's uninstall, reached through the
// Configure dialog's "Uninstall" button with the question answered Yes. The
// configuration test runs a copy of it as a child process; the copy is
// expected to delete its own file and end with the uninstall's exit code.
//
// Usage: kivo_uninstall_probe SYSTEM_SETTINGS_FOLDER
#include <QAbstractButton>
#include <QApplication>
#include <QSettings>

#include "app/DesktopConfiguration.h"
#include "app/Startup.h"
#include "ui/common/MessageBoxes.h"
#include "ui/main/ConfigureDialog.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) return 2;
    // The machine-wide first-run marker of the test, not the machine's own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, QString::fromLocal8Bit(argv[1]));
    kivo::NameApplication();

    kivo::MessageScript answers;
    answers.Answer(kivo::MessageAnswer::Yes);
    kivo::DesktopConfiguration configuration;
    kivo::ConfigureDialog dialog(configuration);
    dialog.show();
    for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
        if (button->text() == QLatin1String("Uninstall")) button->click();
    }
    // Reached only when the uninstall left the program running.
    return 1;
}
