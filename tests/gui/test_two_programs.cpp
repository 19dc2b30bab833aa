// The main window open while a real kivo-cli process changes the same
// stores: nothing either program stored is lost, and the window shows what
// the other program did.
#include <QDir>
#include <QProcess>
#include <QtTest>
#include <functional>

#include "GuiTestSupport.h"
#include "model/OperationList.h"
#include "model/SetList.h"
#include "platform/FileLock.h"
#include "platform/Paths.h"
#include "ui/common/MessageBoxes.h"
#include "ui/main/MainWindow.h"
#include "ui/main/OperationListWidget.h"
#include "ui/main/SetListWidget.h"
#include "ui/main/StoreSync.h"

using namespace kivo;
using namespace kivo::test;

namespace {

// Runs kivo-cli on the window's data folder and waits for it.
void Cli(const QStringList& args) {
    QProcess cli;
    cli.start(QStringLiteral(KIVO_CLI_PATH),
              QStringList{"--data-dir", QString::fromStdString(DataFolder()), "-q"} + args);
    QVERIFY(cli.waitForFinished(30000));
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
}

// A launcher whose dialogs let something happen while they are open, as
// the user would leave a dialog open while a cron job runs.
class OpenDialogLauncher : public RecordingLauncher {
public:
    std::function<void()> whileOpen;

    bool EditSet(QWidget* parent, FileSet& set, const std::vector<std::string>& names) override {
        if (whileOpen) whileOpen();
        return RecordingLauncher::EditSet(parent, set, names);
    }
    bool BindOperation(QWidget* parent, Operation& operation, bool isNew) override {
        if (whileOpen) whileOpen();
        return RecordingLauncher::BindOperation(parent, operation, isNew);
    }
};

QStringList RowTexts(QListWidget* list) {
    QStringList texts;
    for (int row = 0; row < list->count(); ++row) texts << list->item(row)->text();
    return texts;
}

SetList StoredSets() {
    SetList sets;
    sets.Load(SetStoreFilePath());
    return sets;
}

OperationList StoredOperations() {
    OperationList operations;
    operations.Load(BindingStoreFilePath());
    return operations;
}

// Lets the folder watch report and the quiet time pass.
void WaitPastTheQuietTime() { QTest::qWait(3 * StoreSync::kQuietMs); }

}  // namespace

class TwoProgramsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qputenv("TZ", "UTC");
        tzset();
    }

    void setsOfTheOtherProgramAppearAndSurviveTheWindowsChanges() {
        IsolatedEnvironment env;
        WriteStores({"Docs", "Music", "Pics"}, {});
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        window.setList()->item(1)->setSelected(true);

        Cli({"set-remove", "Docs"});
        Cli({"set-add", "Added", env.path()});
        QTRY_COMPARE(RowTexts(window.setList()), QStringList({"Music", "Pics", "Added"}));
        // The selection stays with its set, not with its row number.
        QCOMPARE(window.setList()->SelectedCount(), 1);
        QCOMPARE(window.setList()->FirstSelectedRow(), 0);

        MessageScript boxes;
        boxes.Answer(MessageAnswer::Yes);
        window.setList()->clearSelection();
        window.setList()->item(1)->setSelected(true);
        window.setList()->RemoveSelected();
        QCOMPARE(RowTexts(window.setList()), QStringList({"Music", "Added"}));
        const SetList stored = StoredSets();
        QCOMPARE(stored.sets.size(), size_t{2});
        QCOMPARE(stored.sets[1]->name, std::string("Added"));
    }

    void aLastRunRecordedElsewhereSurvivesAndTheOperationStaysEditable() {
        IsolatedEnvironment env;
        QDir(env.path()).mkpath("docs");
        WriteFile((env.path() + "/docs/a.txt").toStdString(), "alpha");
        Cli({"set-add", "Docs", env.path() + "/docs"});
        Cli({"set-add", "Music", env.path() + "/docs"});
        Cli({"bind", "copy", "Docs", env.path() + "/out"});
        Cli({"bind", "delete", "Music"});
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        MessageScript boxes;

        Cli({"run", "copy:Docs"});
        const FileTime recorded = StoredOperations().operations.at(0)->lastRun;
        QVERIFY(recorded != 0);
        // The window changes the other operation before it has seen the run.
        dialogs.nameToGive = "Docs";
        window.operationList()->setCurrentRow(6);
        window.operationList()->EditSelected();
        OperationList stored = StoredOperations();
        QCOMPARE(stored.operations.at(0)->lastRun, recorded);
        QCOMPARE(stored.operations.at(1)->setName, std::string("Docs"));

        // Run again: the row the window shows has the first run only, and is
        // found all the same.
        Cli({"run", "1"});
        const FileTime again = StoredOperations().operations.at(0)->lastRun;
        QVERIFY(again > recorded);
        dialogs.nameToGive = "Music";
        window.operationList()->setCurrentRow(5);
        window.operationList()->EditSelected();
        QVERIFY(boxes.shown().empty());
        stored = StoredOperations();
        QCOMPARE(stored.operations.at(0)->setName, std::string("Music"));
        QCOMPARE(stored.operations.at(0)->lastRun, again);
        // Just edited: the set name alone, through the window's own next
        // change, until another program's change.
        QCOMPARE(window.operationList()->item(5)->text(), QString("Music"));
        window.operationList()->setCurrentRow(6);
        window.operationList()->EditSelected();
        QCOMPARE(window.operationList()->item(5)->text(), QString("Music"));
        Cli({"set-add", "Other", env.path() + "/docs"});
        QTRY_COMPARE(window.operationList()->item(5)->text(),
                     QString::fromStdString(stored.operations[0]->Label()));
        QVERIFY(window.operationList()->item(5)->text() != "Music");
    }

    void anOperationRemovedElsewhereIsNotWrittenBackNorEdited() {
        IsolatedEnvironment env;
        const auto copy = MakeOperation(OPERATION_COPY, "Docs");
        const auto zip = MakeOperation(OPERATION_ZIP, "Docs");
        WriteStores({"Docs"}, {copy.get(), zip.get()});
        OpenDialogLauncher dialogs;
        dialogs.nameToGive = "Docs";
        MainWindow window(dialogs);
        window.show();
        MessageScript boxes;

        // Removed while the window still shows it; the window's next bind
        // does not bring it back.
        Cli({"op-remove", "copy:Docs"});
        window.operationList()->BindNew(OPERATION_DELETE);
        OperationList stored = StoredOperations();
        QCOMPARE(stored.operations.size(), size_t{2});
        QCOMPARE(stored.operations[0]->kind, int(OPERATION_ZIP));
        QCOMPARE(stored.operations[1]->kind, int(OPERATION_DELETE));

        // Removed while its bind dialog is open: OK reports it and writes
        // nothing.
        const std::string before = ReadFile(BindingStoreFilePath());
        dialogs.whileOpen = [] { Cli({"op-remove", "zip:Docs"}); };
        dialogs.nameToGive = "Changed";
        window.operationList()->setCurrentRow(5);
        window.operationList()->EditSelected();
        QCOMPARE(boxes.shown().size(), size_t{1});
        QCOMPARE(boxes.shown()[0].text,
                 QString("The Operation [Docs] was changed or removed by another program.\n"
                         "Nothing was changed."));
        stored = StoredOperations();
        QCOMPARE(stored.operations.size(), size_t{1});
        QCOMPARE(stored.operations[0]->kind, int(OPERATION_DELETE));
        QCOMPARE(window.operationList()->OperationCount(), 1);
    }

    void aSetChangedWhileItsEditorIsOpenIsNotOverwritten() {
        IsolatedEnvironment env;
        WriteStores({"Docs"}, {});
        OpenDialogLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        MessageScript boxes;
        int rowsSeenInDialog = -1;
        dialogs.whileOpen = [&] {
            Cli({"set-add", "Docs", env.path()});
            Cli({"set-add", "Late", env.path()});
            // The open dialog holds the row's set: no reload under it.
            WaitPastTheQuietTime();
            rowsSeenInDialog = window.setList()->count();
        };
        dialogs.nameToGive = "Papers";
        window.setList()->item(0)->setSelected(true);
        window.setList()->EditSelected();

        QCOMPARE(rowsSeenInDialog, 1);
        QCOMPARE(boxes.shown().size(), size_t{1});
        QVERIFY(boxes.shown()[0].text.startsWith("The Kivo [Docs] was changed or removed"));
        const SetList stored = StoredSets();
        QCOMPARE(stored.sets.size(), size_t{2});
        QCOMPARE(stored.sets[0]->name, std::string("Docs"));
        QCOMPARE(stored.sets[0]->entries.size(), size_t{2});
        QCOMPARE(RowTexts(window.setList()), QStringList({"Docs", "Late"}));

        // A name another program took meanwhile is refused as well.
        dialogs.whileOpen = [] { Cli({"set-rename", "Late", "Papers"}); };
        window.setList()->clearSelection();
        window.setList()->item(0)->setSelected(true);
        window.setList()->EditSelected();
        QCOMPARE(boxes.shown().size(), size_t{2});
        QVERIFY(boxes.shown()[1].text.contains("[Papers]"));
        QCOMPARE(StoredSets().sets[0]->name, std::string("Docs"));
    }

    void aChangeThatCannotGetTheLockSaysSoAndChangesNothing() {
        IsolatedEnvironment env;
        WriteStores({"Docs", "Music"}, {});
        const std::string before = ReadFile(SetStoreFilePath());
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        MessageScript boxes;
        boxes.Answer(MessageAnswer::Yes);
        FileLock otherProgram;
        QCOMPARE(otherProgram.Acquire(StoreLockPath(DataFolder()), std::chrono::milliseconds(0)),
                 LockState::Held);
        SetStoreLockWait(std::chrono::milliseconds(100));

        window.setList()->item(0)->setSelected(true);
        window.setList()->RemoveSelected();
        SetStoreLockWait(std::chrono::seconds(10));

        QCOMPARE(boxes.shown().size(), size_t{2});
        QCOMPARE(boxes.shown()[1].text,
                 QString("Another program has been changing the Kivo lists for more than 10 "
                         "seconds.\nNothing was changed. Please try again later."));
        QCOMPARE(ReadFile(SetStoreFilePath()), before);
        QCOMPARE(RowTexts(window.setList()), QStringList({"Docs", "Music"}));
    }
};

QTEST_MAIN(TwoProgramsTest)
#include "test_two_programs.moc"
