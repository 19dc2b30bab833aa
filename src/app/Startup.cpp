#include "app/Startup.h"

#include <QCoreApplication>

#include "platform/Paths.h"
#include "settings/Settings.h"
#include "ui/main/MainWindow.h"

namespace kivo {

void NameApplication() {
    const std::string base = ExecutableBaseName();
    QCoreApplication::setOrganizationName(QString::fromLatin1(kOrganisation));
    if (!base.empty()) QCoreApplication::setApplicationName(QString::fromStdString(base));
}

int RunKivo(DialogLauncher& dialogs, const FirstRunActions& firstRunActions) {
    HandleFirstRun(firstRunActions);
    NameApplication();
    {
        MainWindow window(dialogs);
        window.exec();
    }
    // No event loop follows the main window: the process ends here.
    return 0;
}

}  // namespace kivo
