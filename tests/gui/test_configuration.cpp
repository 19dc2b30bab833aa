// The launchers, the Configure and About boxes, and the uninstall, each in
// a home and settings folders of its own.
#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>

#include "GuiTestSupport.h"
#include "app/DesktopConfiguration.h"
#include "app/DesktopEntry.h"
#include "app/FirstRun.h"
#include "app/Shortcuts.h"
#include "app/Uninstall.h"
#include "platform/Faults.h"
#include "settings/Settings.h"
#include "ui/common/DialogUnits.h"
#include "ui/common/MessageBoxes.h"
#include "ui/main/AboutDialog.h"
#include "ui/main/ConfigureDialog.h"
#include "ui/main/HyperLink.h"

using namespace kivo;
using namespace kivo::test;

namespace {

// A home with a desktop folder, the configuration and data folders inside
// it, and the machine-wide settings folder beside it, as the environment
// and Qt's settings see them while this lives.
class DesktopHome {
public:
    DesktopHome() {
        for (const char* name : kVariables) saved_.push_back(qgetenv(name));
        qputenv("HOME", home().toUtf8());
        qputenv("XDG_CONFIG_HOME", config().toUtf8());
        qputenv("XDG_DATA_HOME", data().toUtf8());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config());
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, system());
        QDir().mkpath(home() + "/Desktop");
    }
    ~DesktopHome() {
        for (std::size_t i = 0; i < std::size(kVariables); ++i) qputenv(kVariables[i], saved_[i]);
    }

    QString root() const { return dir_.path(); }
    QString home() const { return root() + "/home"; }
    QString config() const { return home() + "/.config"; }
    QString data() const { return home() + "/.local/share"; }
    QString system() const { return root() + "/etc"; }
    QString desktopEntry() const { return home() + "/Desktop/Kivo.desktop"; }
    QString programsFolder() const { return data() + "/applications/Kaldorworks"; }
    QString programsEntry() const { return programsFolder() + "/Kivo.desktop"; }

private:
    static constexpr const char* kVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"};
    QTemporaryDir dir_;
    std::vector<QByteArray> saved_;
};

QString Read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("<missing>");
    return QString::fromUtf8(file.readAll());
}

void Write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The value of `key` in a desktop entry's text.
QString EntryValue(const QString& text, const QString& key) {
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(key + QLatin1Char('='))) return line.mid(key.size() + 1);
    }
    return QStringLiteral("<none>");
}

// desktop-file-validate's complaints; empty when it accepts the file.
QString ValidatorErrors(const QString& path) {
    QProcess validator;
    validator.start(QStringLiteral("desktop-file-validate"), {path});
    if (!validator.waitForFinished(30000)) return QStringLiteral("desktop-file-validate did not run");
    const QString output = QString::fromUtf8(validator.readAllStandardOutput() +
                                             validator.readAllStandardError());
    if (validator.exitStatus() != QProcess::NormalExit || validator.exitCode() != 0 ||
        output.contains(QLatin1String("error:"))) {
        return output.isEmpty() ? QStringLiteral("exit code %1").arg(validator.exitCode()) : output;
    }
    return QString();
}

QAbstractButton* Button(QWidget* window, const QString& text) {
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (button->text() == text) return button;
    }
    return nullptr;
}

// Every file below `root`, relative to it, with its contents: one line
// each, sorted.
QString Tree(const QString& root) {
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.append(QDir(root).relativeFilePath(path) + ": " + Read(path));
    }
    files.sort();
    return files.join(QLatin1Char('\n'));
}

// What a program left behind: the two launchers, its settings, both
// first-run markers and a data folder with its two stores.
void Install(const DesktopHome& home, const QString& applicationName) {
    QVERIFY(CreateDesktopShortcut(kShortcutName));
    QVERIFY(CreateProgramsShortcut(kShortcutName));
    Write(home.config() + "/KALDORWORKS/" + applicationName + ".conf", "[Settings]\ncopyfolder=/backup\n");
    Write(home.config() + "/KALDORWORKS/Kivo.conf", "[General]\nInitFlag=1\n");
    Write(home.system() + "/KALDORWORKS/Kivo.conf", "[General]\nInitFlag=1\n");
    Write(home.data() + "/KALDORWORKS/kivo/kivos.kvd", "sets");
    Write(home.data() + "/KALDORWORKS/kivo/kvbind.kvb", "operations");
}

class OpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

}  // namespace

class ConfigurationTest : public QObject {
    Q_OBJECT

private slots:
    void firstRunCreatesBothLaunchersOnce() {
        DesktopHome home;
        QVERIFY(HandleFirstRun(CreateShortcutsOnFirstRun()));
        const QString program = QCoreApplication::applicationFilePath();
        for (const QString& path : {home.desktopEntry(), home.programsEntry()}) {
            const QString text = Read(path);
            QCOMPARE(EntryValue(text, "Exec"), program);
            QCOMPARE(EntryValue(text, "TryExec"), program);
            const QFile::Permissions permissions = QFileInfo(path).permissions();
            QVERIFY2(permissions.testFlags(QFile::ReadOther | QFile::ExeOther | QFile::ExeOwner),
                     qPrintable(path));
            QCOMPARE(ValidatorErrors(path), QString());
        }

        // A second start is no first run: launchers deleted by hand stay gone.
        QVERIFY(QFile::remove(home.desktopEntry()));
        QVERIFY(QFile::remove(home.programsEntry()));
        QVERIFY(!HandleFirstRun(CreateShortcutsOnFirstRun()));
        QVERIFY(!QFile::exists(home.desktopEntry()));
        QVERIFY(!QFile::exists(home.programsEntry()));
    }

    void firstRunLeavesAnExistingLauncherAlone() {
        DesktopHome home;
        Write(home.desktopEntry(), "the user's own");
        QVERIFY(HandleFirstRun(CreateShortcutsOnFirstRun()));
        QCOMPARE(Read(home.desktopEntry()), QString("the user's own"));
        QVERIFY(QFile::exists(home.programsEntry()));
    }

    void placesThatAreMissingFailSilently() {
        DesktopHome home;
        QVERIFY(QDir(home.home() + "/Desktop").removeRecursively());
        QVERIFY(!CreateDesktopShortcut(kShortcutName));
        QVERIFY(!DesktopShortcutExists(kShortcutName));
        // The menu folder is created when missing, but not over a file.
        QVERIFY(QDir().mkpath(home.data() + "/applications"));
        Write(home.programsFolder(), "in the way");
        QVERIFY(!CreateProgramsShortcut(kShortcutName));
        QVERIFY(!CreateProgramsShortcut(""));
    }

    void configureFollowsTheDesktopLauncher() {
        DesktopHome home;
        DesktopConfiguration actions(UninstallTarget{});
        QVERIFY(CreateDesktopShortcut(kShortcutName));
        QVERIFY(QFile::remove(home.desktopEntry()));  // deleted by hand
        {
            ConfigureDialog dialog(actions);
            QVERIFY(!dialog.desktopBox()->isChecked());
            Button(&dialog, "OK")->click();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QVERIFY(!QFile::exists(home.desktopEntry()));
        }
        {
            ConfigureDialog dialog(actions);
            dialog.desktopBox()->setChecked(true);
            Button(&dialog, "OK")->click();
            QCOMPARE(EntryValue(Read(home.desktopEntry()), "Exec"),
                     QCoreApplication::applicationFilePath());
        }
        {
            ConfigureDialog dialog(actions);
            QVERIFY(dialog.desktopBox()->isChecked());
            dialog.desktopBox()->setChecked(false);
            Button(&dialog, "Cancel")->click();
            QVERIFY(QFile::exists(home.desktopEntry()));
        }
        {
            ConfigureDialog dialog(actions);
            dialog.desktopBox()->setChecked(false);
            Button(&dialog, "OK")->click();
            QVERIFY(!QFile::exists(home.desktopEntry()));
        }
    }

    void launcherTextEscapesThePath_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");     // empty: no launcher can hold the path
        QTest::addColumn<QString>("tryExec");
        QTest::newRow("plain") << "/opt/kivo/kivo" << "/opt/kivo/kivo" << "/opt/kivo/kivo";
        QTest::newRow("blank") << "/opt/my apps/kivo" << "\"/opt/my apps/kivo\""
                               << "/opt/my apps/kivo";
        QTest::newRow("percent") << "/opt/100%/kivo" << "/opt/100%%/kivo" << "/opt/100%/kivo";
        QTest::newRow("quotes and percent")
            << "/opt/it's \"50%\"/kivo" << "\"/opt/it's \\\\\"50%%\\\\\"/kivo\""
            << "/opt/it's \"50%\"/kivo";
        QTest::newRow("shell characters") << "/opt/$x/`y`/kivo" << "\"/opt/\\\\$x/\\\\`y\\\\`/kivo\""
                                          << "/opt/$x/`y`/kivo";
        QTest::newRow("backslash") << "/opt/a\\b/kivo" << "\"/opt/a\\\\\\\\b/kivo\""
                                   << "/opt/a\\\\b/kivo";
        QTest::newRow("UTF-8") << "/opt/K\xc3\xa4se/kivo" << "/opt/K\xc3\xa4se/kivo"
                               << "/opt/K\xc3\xa4se/kivo";
        QTest::newRow("line feed") << "/opt/a\nb/kivo" << "" << "";
    }

    void launcherTextEscapesThePath() {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        QFETCH(QString, tryExec);
        const std::optional<std::string> text = DesktopEntryText("Kivo", program.toStdString());
        QCOMPARE(text.has_value(), !exec.isEmpty());
        if (!text) return;
        const QString entry = QString::fromStdString(*text);
        QCOMPARE(EntryValue(entry, "Exec"), exec);
        QCOMPARE(EntryValue(entry, "TryExec"), tryExec);
        QTemporaryDir dir;
        const QString path = dir.path() + "/Kivo.desktop";
        Write(path, text->c_str());
        QCOMPARE(ValidatorErrors(path), QString());
    }

    void aPathThatIsNotUtf8MakesNoLauncher() {
        QVERIFY(!DesktopEntryText("Kivo", "/opt/caf\xe9/kivo").has_value());
    }

    void answeringNoChangesNothing() {
        DesktopHome home;
        Install(home, QCoreApplication::applicationName());
        const QString program = home.root() + "/bin/kivo";
        Write(program, "program");
        const auto before = Tree(home.root());

        MessageScript answers;
        answers.Answer(MessageAnswer::No);
        DesktopConfiguration actions(UninstallTarget{program.toStdString(), {}});
        ConfigureDialog dialog(actions);
        Button(&dialog, "Uninstall")->click();

        QCOMPARE(answers.shown().size(), std::size_t(1));
        QCOMPARE(answers.shown()[0].icon, MessageIcon::Question);
        QCOMPARE(answers.shown()[0].text,
                 QString("This will remove Kivo from your computer.\nAre you sure?"));
        QCOMPARE(Tree(home.root()), before);
    }

    void anExecutableThatStaysIsReported_data() {
        QTest::addColumn<QString>("package");  // what the package check answers
        QTest::addColumn<bool>("deleteFails");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("owned by a package")
            << "kivo" << false << int(UninstallResult::PackageKept) << "package manager";
        QTest::newRow("cannot be deleted")
            << "" << true << int(UninstallResult::ExecutableKept) << "Can not delete file:\n";
    }

    void anExecutableThatStaysIsReported() {
        QFETCH(QString, package);
        QFETCH(bool, deleteFails);
        QFETCH(int, result);
        QFETCH(QString, message);
        DesktopHome home;
        const QString applicationName = QCoreApplication::applicationName();
        Install(home, applicationName);
        Write(home.system() + "/KALDORWORKS/Other.conf", "another program's");
        const QString program = home.root() + "/bin/kivo";
        Write(program, "program");
        faults::Guard guard;
        if (deleteFails) faults::Arm(faults::Call::Delete, EACCES, 1, 1, program.toStdString());

        MessageScript answers;
        answers.Answer(MessageAnswer::Yes);
        const std::string owner = package.toStdString();
        const UninstallTarget target{program.toStdString(),
                                     [owner](const std::string&) { return owner; }};
        QCOMPARE(int(Uninstall(nullptr, target)), result);

        QCOMPARE(answers.shown().size(), std::size_t(2));
        QCOMPARE(answers.shown()[1].icon, MessageIcon::Information);
        QVERIFY2(answers.shown()[1].text.contains(message), qPrintable(answers.shown()[1].text));
        if (!package.isEmpty()) QVERIFY(answers.shown()[1].text.contains("\"" + package + "\""));
        if (deleteFails) QVERIFY(answers.shown()[1].text.endsWith(program));
        // The program file and the data stay; launchers and settings are gone,
        // and so are the folders they leave empty.
        QCOMPARE(Tree(home.root()), QString("bin/kivo: program\n"
                                            "etc/KALDORWORKS/Other.conf: another program's\n"
                                            "home/.local/share/KALDORWORKS/kivo/kivos.kvd: sets\n"
                                            "home/.local/share/KALDORWORKS/kivo/kvbind.kvb: operations"));
        QVERIFY(!QFileInfo::exists(home.programsFolder()));
        QVERIFY(!QFileInfo::exists(home.config() + "/KALDORWORKS"));
    }

    void uninstallingACopyRemovesItAndEndsIt() {
        DesktopHome home;
        Install(home, "kivo");
        const QString program = home.root() + "/bin/kivo";
        QVERIFY(QDir().mkpath(home.root() + "/bin"));
        QVERIFY(QFile::copy(KIVO_UNINSTALL_PROBE, program));
        QTemporaryDir runtime;  // outside the tree that is compared

        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.home());
        environment.insert("XDG_CONFIG_HOME", home.config());
        environment.insert("XDG_DATA_HOME", home.data());
        environment.insert("XDG_CACHE_HOME", runtime.path() + "/cache");
        environment.insert("XDG_RUNTIME_DIR", runtime.path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        child.setProcessEnvironment(environment);
        child.start(program, {home.system()});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), kUninstalledExitCode);

        // Nothing left but the data folder: no settings written on the way out.
        QCOMPARE(Tree(home.root()), QString("home/.local/share/KALDORWORKS/kivo/kivos.kvd: sets\n"
                                            "home/.local/share/KALDORWORKS/kivo/kvbind.kvb: operations"));
        QVERIFY(!QFileInfo::exists(home.programsFolder()));
        QVERIFY(!QFileInfo::exists(home.config() + "/KALDORWORKS"));
        QVERIFY(!QFileInfo::exists(home.system() + "/KALDORWORKS"));
    }

    void theLinkOpensOnlyWhenReleasedInside_data() {
        QTest::addColumn<bool>("releaseInside");
        QTest::newRow("inside") << true;
        QTest::newRow("outside") << false;
    }

    void theLinkOpensOnlyWhenReleasedInside() {
        QFETCH(bool, releaseInside);
        OpenedUrls opened;
        const QString scheme = QUrl(HomePageAddress()).scheme();
        QDesktopServices::setUrlHandler(scheme, &opened, "open");
        AboutDialog about;
        about.show();
        HyperLink* link = about.link();
        const QPoint inside = link->rect().center();
        const QPoint outside(link->width() + 5, inside.y());
        QTest::mousePress(link, Qt::LeftButton, Qt::NoModifier, inside);
        QTest::mouseRelease(link, Qt::LeftButton, Qt::NoModifier, releaseInside ? inside : outside);
        QDesktopServices::unsetUrlHandler(scheme);

        QCOMPARE(opened.urls, releaseInside ? QList<QUrl>{QUrl(HomePageAddress())} : QList<QUrl>{});
        QVERIFY(link->text().endsWith(" (" + HomePageAddress() + ")"));
    }

    void theLinkFitsItsTextAndStaysReadable() {
        AboutDialog about;
        HyperLink* link = about.link();
        const DialogUnits units(about.font());
        QVERIFY(link->font().underline());
        // Only the text is clickable: the control is as wide as the text and
        // keeps the template's left edge.
        QCOMPARE(link->width(), QFontMetrics(link->font()).horizontalAdvance(link->text()));
        QCOMPARE(link->x(), units.X(7));
        QVERIFY(link->width() < units.X(217));

        QCOMPARE(link->textColour(), QColor(0, 0, 0));
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(link, &enter);
        QVERIFY(link->hovering());
        QCOMPARE(link->textColour(), QColor(0, 0, 255));

        QPalette dark = about.palette();
        dark.setColor(QPalette::Window, QColor(30, 30, 30));
        dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
        dark.setColor(QPalette::Link, QColor(120, 170, 255));
        about.setPalette(dark);
        QCOMPARE(link->textColour(), QColor(120, 170, 255));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(link, &leave);
        QCOMPARE(link->textColour(), QColor(230, 230, 230));
    }
};

QTEST_MAIN(ConfigurationTest)
#include "test_configuration.moc"
