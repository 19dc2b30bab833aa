// The main window driven through its real widgets: clicks, double-clicks,
// keys and drag events sent to the operation list.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <ctime>
#include <memory>

#include "GuiTestSupport.h"
#include "model/OperationList.h"
#include "model/SetList.h"
#include "model/StringTable.h"
#include "platform/FileSystem.h"
#include "platform/FileTime.h"
#include "settings/Settings.h"
#include "ui/common/MessageBoxes.h"
#include "ui/common/Texts.h"
#include "ui/main/DragPayload.h"
#include "ui/main/MainWindow.h"
#include "ui/main/MainWindowTemplate.h"
#include "ui/main/OperationListWidget.h"
#include "ui/main/OperationRowDelegate.h"
#include "ui/main/RowRoles.h"
#include "ui/main/SetListWidget.h"

using namespace kivo;
using namespace kivo::test;
using namespace kivo::main_window;

namespace {

QPoint RowCentre(QListWidget* list, int row) {
    return list->visualItemRect(list->item(row)).center();
}

void ClickRow(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, RowCentre(list, row));
}

void DoubleClickRow(QListWidget* list, int row) {
    const QPoint at = RowCentre(list, row);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

// One drag of a set over the operation list, event by event, as the drag
// loop would deliver them to the list's viewport.
class SimulatedDrag {
public:
    SimulatedDrag(OperationListWidget* list, QMimeData* data) : list_(list), data_(data) {}

    bool Enter(const QPoint& at) {
        QDragEnterEvent event(at, Qt::CopyAction, data_.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list_->viewport(), &event);
        return event.isAccepted();
    }
    // True when the point accepts the drop with the copy effect.
    bool Move(const QPoint& at) {
        QDragMoveEvent event(at, Qt::CopyAction, data_.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list_->viewport(), &event);
        return event.isAccepted() && event.dropAction() == Qt::CopyAction;
    }
    void Leave() {
        QDragLeaveEvent event;
        QApplication::sendEvent(list_->viewport(), &event);
    }
    bool Drop(const QPoint& at) {
        QDropEvent event(QPointF(at), Qt::CopyAction, data_.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list_->viewport(), &event);
        return event.isAccepted() && event.dropAction() == Qt::CopyAction;
    }

private:
    OperationListWidget* list_;
    std::unique_ptr<QMimeData> data_;
};

std::vector<int> HighlightedRows(QListWidget* list) {
    std::vector<int> rows;
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->data(ROLE_DROP_HIGHLIGHT).toBool()) rows.push_back(row);
    }
    return rows;
}

QStringList RowTexts(QListWidget* list) {
    QStringList texts;
    for (int row = 0; row < list->count(); ++row) texts << list->item(row)->text();
    return texts;
}

FileTime UtcTime(int year, int month, int day, int hour, int minute, int second) {
    FileTime time = 0;
    UtcPartsToFileTime(TimeParts{year, month, day, hour, minute, second}, time);
    return time;
}

// The stores after every set but Music, and every operation but its Move,
// were removed.
std::string OnlyMusicSetStore() {
    StoreBytes sets;
    sets.I32(1);
    AppendSetBytes(sets, "Music");
    return sets.bytes();
}

std::string OnlyMusicMoveBindingStore() {
    StoreBytes operations;
    operations.I32(1);
    AppendOperationBytes(operations, OPERATION_MOVE, "Music");
    return operations.bytes();
}

struct ButtonStates {
    bool setProperty, setRemove, opProperty, opRemove, run;
    bool operator==(const ButtonStates&) const = default;
};

ButtonStates States(const MainWindow& window) {
    return {window.button(ID_SET_PROPERTY)->isEnabled(), window.button(ID_SET_REMOVE)->isEnabled(),
            window.button(ID_OPERATION_PROPERTY)->isEnabled(),
            window.button(ID_OPERATION_REMOVE)->isEnabled(), window.button(ID_RUN)->isEnabled()};
}

}  // namespace

namespace QTest {
template <>
char* toString(const ButtonStates& s) {
    return qstrdup(QStringLiteral("setProperty=%1 setRemove=%2 opProperty=%3 opRemove=%4 run=%5")
                       .arg(s.setProperty).arg(s.setRemove).arg(s.opProperty).arg(s.opRemove)
                       .arg(s.run).toLatin1().constData());
}
}  // namespace QTest

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Local time five hours behind UTC, so a label in UTC would be seen.
        qputenv("TZ", "EST5");
        tzset();
    }

    void emptyStoreShowsTheFixedRowsAndDisablesSetCommands() {
        IsolatedEnvironment env;
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();

        QCOMPARE(window.setList()->count(), 0);
        QCOMPARE(RowTexts(window.operationList()),
                 QStringList({"Delete", "Copy", "Move", "Zip", "UnZip"}));
        QCOMPARE(States(window), (ButtonStates{false, false, false, false, false}));
        QVERIFY(window.button(ID_SET_NEW)->isEnabled());
        QVERIFY(window.button(ID_OPERATION_NEW)->isEnabled());
    }

    void buttonStatesFollowTheSelectionAfterTheEventIsHandled() {
        IsolatedEnvironment env;
        const auto op = MakeOperation(OPERATION_COPY, "Docs");
        WriteStores({"Docs", "Music"}, {op.get()});
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();
        auto* operations = window.operationList();

        ClickRow(operations, 1);  // the fixed "Copy" row
        // Recomputed in a deferred step, not inside the click.
        QCOMPARE(window.button(ID_RUN)->isEnabled(), false);
        QCoreApplication::processEvents();
        QCOMPARE(States(window), (ButtonStates{false, false, false, false, true}));

        ClickRow(operations, 5);  // the saved operation
        QCoreApplication::processEvents();
        QCOMPARE(States(window), (ButtonStates{false, false, true, true, true}));

        ClickRow(window.setList(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(States(window), (ButtonStates{true, true, true, true, true}));

        ClickRow(window.setList(), 1, Qt::ControlModifier);
        QCoreApplication::processEvents();
        QCOMPARE(window.setList()->SelectedCount(), 2);
        QCOMPARE(States(window), (ButtonStates{false, true, true, true, true}));
    }

    void removingASetRemovesItsOperationsInAnyLetterCase() {
        IsolatedEnvironment env;
        const auto a = MakeOperation(OPERATION_COPY, "DOCS");
        const auto b = MakeOperation(OPERATION_MOVE, "Music");
        const auto c = MakeOperation(OPERATION_ZIP, "docs");
        WriteStores({"Docs", "Music"}, {a.get(), b.get(), c.get()});
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();

        MessageScript boxes;
        boxes.Answer(MessageAnswer::Yes);
        ClickRow(window.setList(), 0);
        QCoreApplication::processEvents();
        QTest::mouseClick(window.button(ID_SET_REMOVE), Qt::LeftButton);

        QCOMPARE(boxes.shown().size(), size_t{1});
        QCOMPARE(boxes.shown()[0].icon, MessageIcon::Question);
        QCOMPARE(boxes.shown()[0].text,
                 QString("Remove selected Kivos?\nThis will also remove the Operation binded to "
                         "this Kivo."));
        QCOMPARE(RowTexts(window.setList()), QStringList({"Music"}));
        QCOMPARE(window.operationList()->OperationCount(), 1);
        QCOMPARE(window.operationList()->OperationAt(5)->setName, std::string("Music"));

        QCOMPARE(ReadFile(SetStoreFilePath()), OnlyMusicSetStore());
        QCOMPARE(ReadFile(BindingStoreFilePath()), OnlyMusicMoveBindingStore());
    }

    // A store written elsewhere may hold Work and WORK: removing one takes
    // the operations spelled as it is, and leaves those of the other and
    // those that fit both.
    void removingOneOfTwoNamesDifferingInCaseKeepsTheOthersOperations() {
        IsolatedEnvironment env;
        const auto a = MakeOperation(OPERATION_COPY, "Work");
        const auto b = MakeOperation(OPERATION_MOVE, "WORK");
        const auto c = MakeOperation(OPERATION_ZIP, "work");
        WriteStores({"Work", "WORK"}, {a.get(), b.get(), c.get()});
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();

        MessageScript boxes;
        boxes.Answer(MessageAnswer::Yes);
        QCOMPARE(RowTexts(window.setList()), QStringList({"Work", "WORK"}));
        ClickRow(window.setList(), 1);
        QCoreApplication::processEvents();
        QTest::mouseClick(window.button(ID_SET_REMOVE), Qt::LeftButton);
        QCoreApplication::processEvents();

        QCOMPARE(RowTexts(window.setList()), QStringList({"Work"}));
        QCOMPARE(window.operationList()->OperationCount(), 2);
        QCOMPARE(window.operationList()->OperationAt(5)->setName, std::string("Work"));
        QCOMPARE(window.operationList()->OperationAt(6)->setName, std::string("work"));
    }

    void removingSeveralSetsTakesEachSelectedRow() {
        IsolatedEnvironment env;
        const auto a = MakeOperation(OPERATION_COPY, "docs");
        const auto b = MakeOperation(OPERATION_MOVE, "Music");
        const auto c = MakeOperation(OPERATION_DELETE, "PICS");
        WriteStores({"Docs", "Music", "Pics", "Mail"}, {a.get(), b.get(), c.get()});
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();

        MessageScript boxes;
        boxes.Answer(MessageAnswer::Yes);
        // The operation of a set about to go is selected: it goes with its
        // selection, which passes to no other row.
        ClickRow(window.operationList(), 5);
        ClickRow(window.setList(), 0);
        ClickRow(window.setList(), 2, Qt::ControlModifier);
        ClickRow(window.setList(), 3, Qt::ControlModifier);
        QCoreApplication::processEvents();
        QCOMPARE(States(window), (ButtonStates{false, true, true, true, true}));
        QTest::mouseClick(window.button(ID_SET_REMOVE), Qt::LeftButton);
        QCoreApplication::processEvents();

        QCOMPARE(boxes.shown().size(), size_t{1});
        QCOMPARE(RowTexts(window.setList()), QStringList({"Music"}));
        QCOMPARE(RowTexts(window.operationList()),
                 QStringList({"Delete", "Copy", "Move", "Zip", "UnZip", "Music"}));
        QCOMPARE(States(window), (ButtonStates{false, false, false, false, false}));
        QCOMPARE(ReadFile(SetStoreFilePath()), OnlyMusicSetStore());
        QCOMPARE(ReadFile(BindingStoreFilePath()), OnlyMusicMoveBindingStore());
    }

    void answeringNoRemovesNothingAndWritesNothing() {
        IsolatedEnvironment env;
        const auto a = MakeOperation(OPERATION_COPY, "Docs");
        WriteStores({"Docs"}, {a.get()});
        const std::string setsBefore = ReadFile(SetStoreFilePath());
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();
        std::remove(BindingStoreFilePath().c_str());

        MessageScript boxes;
        boxes.Answer(MessageAnswer::No);
        ClickRow(window.setList(), 0);
        QCoreApplication::processEvents();
        QTest::mouseClick(window.button(ID_SET_REMOVE), Qt::LeftButton);

        QCOMPARE(boxes.shown().size(), size_t{1});
        QCOMPARE(window.setList()->count(), 1);
        QCOMPARE(window.operationList()->OperationCount(), 1);
        QCOMPARE(ReadFile(SetStoreFilePath()), setsBefore);
        QCOMPARE(ReadFile(BindingStoreFilePath()), std::string("<missing>"));
    }

    void renamingASetRepointsItsOperations_data() {
        QTest::addColumn<QString>("newName");
        QTest::addColumn<QStringList>("boundNames");
        QTest::addColumn<bool>("bindingStoreWritten");
        // Operations bound to Docs and DOCS follow a real rename; a change of
        // letter case only leaves them as they were (they still find the set).
        QTest::newRow("new word") << "Papers" << QStringList({"Papers", "Papers", "Music"}) << true;
        QTest::newRow("letter case only") << "DOCS" << QStringList({"Docs", "DOCS", "Music"}) << false;
    }

    void renamingASetRepointsItsOperations() {
        QFETCH(QString, newName);
        QFETCH(QStringList, boundNames);
        QFETCH(bool, bindingStoreWritten);
        IsolatedEnvironment env;
        const FileTime ran = UtcTime(2004, 3, 7, 14, 5, 2);
        const auto a = MakeOperation(OPERATION_COPY, "Docs", ran);
        const auto b = MakeOperation(OPERATION_MOVE, "DOCS");
        const auto c = MakeOperation(OPERATION_ZIP, "Music");
        WriteStores({"Docs", "Music"}, {a.get(), b.get(), c.get()});
        RecordingLauncher dialogs;
        dialogs.nameToGive = newName.toStdString();
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();
        const FileStamp bindingBefore = StampOf(BindingStoreFilePath());

        DoubleClickRow(window.setList(), 0);

        QCOMPARE(dialogs.calls.size(), size_t{1});
        QCOMPARE(dialogs.calls[0].dialog, std::string("EditSet"));
        QCOMPARE(dialogs.lastNamesInUse, std::vector<std::string>{"Music"});
        QCOMPARE(window.setList()->item(0)->text(), newName);
        QStringList bound;
        for (int row = 5; row < window.operationList()->count(); ++row) {
            bound << QString::fromStdString(window.operationList()->OperationAt(row)->setName);
        }
        QCOMPARE(bound, boundNames);
        // The relabelled row keeps its last run, shown in local time.
        QCOMPARE(window.operationList()->item(5)->text(), boundNames[0] + " 2004-03-07 09:05:02");

        StoreBytes sets;
        sets.I32(2).Str(newName.toStdString()).I32(1).Str("/data/Docs").Count(0).I32(1).I32(1);
        AppendSetBytes(sets, "Music");
        QCOMPARE(ReadFile(SetStoreFilePath()), sets.bytes());
        if (bindingStoreWritten) {
            StoreBytes operations;
            operations.I32(3);
            AppendOperationBytes(operations, OPERATION_COPY, "Papers", ran);
            AppendOperationBytes(operations, OPERATION_MOVE, "Papers");
            AppendOperationBytes(operations, OPERATION_ZIP, "Music");
            QCOMPARE(ReadFile(BindingStoreFilePath()), operations.bytes());
        } else {
            QVERIFY(StampOf(BindingStoreFilePath()) == bindingBefore);  // not rewritten
        }
    }

    // Writing after a cancel would put back the set as the window last read
    // it, over whatever another program stored meanwhile.
    void aCancelledSetEditWritesNothing() {
        IsolatedEnvironment env;
        WriteStores({"Docs"}, {});
        RecordingLauncher dialogs;
        dialogs.answerOk = false;
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();
        std::remove(SetStoreFilePath().c_str());

        ClickRow(window.setList(), 0);
        QCoreApplication::processEvents();
        QTest::mouseClick(window.button(ID_SET_PROPERTY), Qt::LeftButton);

        QCOMPARE(dialogs.calls.size(), size_t{1});
        QCOMPARE(ReadFile(SetStoreFilePath()), std::string("<missing>"));
    }

    void aNewSetIsAppendedAndStored() {
        IsolatedEnvironment env;
        WriteStores({"Docs"}, {});
        RecordingLauncher dialogs;
        dialogs.nameToGive = "Aardvark";
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();

        QTest::mouseClick(window.button(ID_SET_NEW), Qt::LeftButton);

        QCOMPARE(dialogs.lastNamesInUse, std::vector<std::string>{"Docs"});
        QCOMPARE(RowTexts(window.setList()), QStringList({"Docs", "Aardvark"}));  // never sorted
        StoreBytes sets;
        sets.I32(2);
        AppendSetBytes(sets, "Docs");
        AppendSetBytes(sets, "Aardvark");
        QCOMPARE(ReadFile(SetStoreFilePath()), sets.bytes());
    }

    void labelsOfOperationsWithALastRunShowLocalTime() {
        IsolatedEnvironment env;
        const auto never = MakeOperation(OPERATION_DELETE, "Backup");
        const auto ran = MakeOperation(OPERATION_COPY, "Backup", UtcTime(2004, 3, 7, 14, 5, 2));
        WriteStores({"Backup"}, {never.get(), ran.get()});
        RecordingLauncher dialogs;
        MainWindow window(dialogs);

        QCOMPARE(window.operationList()->item(5)->text(), QString("Backup"));
        QCOMPARE(window.operationList()->item(6)->text(), QString("Backup 2004-03-07 09:05:02"));
        QCOMPARE(window.operationList()->item(5)->data(ROLE_IMAGE).toInt(), int(OPERATION_DELETE));
        QCOMPARE(window.operationList()->item(6)->data(ROLE_IMAGE).toInt(), int(OPERATION_COPY));
        QVERIFY(window.operationList()->item(6)->data(ROLE_SAVED).toBool());
        QVERIFY(!window.operationList()->item(1)->data(ROLE_SAVED).toBool());
    }

    void runningSavedAndFixedRows() {
        IsolatedEnvironment env;
        const auto op = MakeOperation(OPERATION_MOVE, "Docs");
        WriteStores({"Docs"}, {op.get()});
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();
        auto* operations = window.operationList();

        DoubleClickRow(operations, 4);  // UnZip opens the zip viewer
        ClickRow(operations, 3);
        QCoreApplication::processEvents();
        QTest::mouseClick(window.button(ID_RUN), Qt::LeftButton);  // Zip with no set
        QCOMPARE(dialogs.calls.size(), size_t{2});
        QCOMPARE(dialogs.calls[0].dialog, std::string("ZipViewer"));
        QCOMPARE(dialogs.calls[1].dialog, std::string("Run"));
        QCOMPARE(dialogs.calls[1].kind, int(OPERATION_ZIP));
        QCOMPARE(dialogs.calls[1].setName, std::string());
        QVERIFY(!dialogs.calls[1].saved);

        // A failed run leaves the record and the store alone.
        const FileStamp bindingBefore = StampOf(BindingStoreFilePath());
        dialogs.answerOk = false;
        DoubleClickRow(operations, 5);
        QCOMPARE(dialogs.calls.back().kind, int(OPERATION_MOVE));
        QCOMPARE(dialogs.calls.back().setName, std::string("Docs"));
        QVERIFY(dialogs.calls.back().saved);
        QCOMPARE(operations->OperationAt(5)->lastRun, FileTime{0});
        QVERIFY(StampOf(BindingStoreFilePath()) == bindingBefore);

        // A completed run stamps the time, relabels and writes the store.
        dialogs.answerOk = true;
        const FileTime before = CurrentFileTime();
        QCoreApplication::processEvents();
        QTest::mouseClick(window.button(ID_RUN), Qt::LeftButton);
        const FileTime stamped = operations->OperationAt(5)->lastRun;
        QVERIFY(stamped >= before && stamped <= CurrentFileTime());
        QCOMPARE(operations->item(5)->text(),
                 QString::fromStdString(operations->OperationAt(5)->Label()));
        QVERIFY(operations->item(5)->text().startsWith("Docs 2"));
        OperationList stored;
        QVERIFY(stored.Load(BindingStoreFilePath()));
        QCOMPARE(stored.operations.size(), size_t{1});
        QCOMPARE(stored.operations[0]->lastRun, stamped);
    }

    void bindMenuAddsAnOperationLabelledWithTheSetNameAlone() {
        IsolatedEnvironment env;
        WriteStores({"Docs"}, {});
        RecordingLauncher dialogs;
        dialogs.nameToGive = "Docs";
        dialogs.lastRunToGive = UtcTime(2010, 1, 2, 3, 4, 5);
        MainWindow window(dialogs);
        std::unique_ptr<QMenu> menu(window.operationList()->CreateBindMenu(&window));
        QStringList texts;
        for (QAction* action : menu->actions()) texts << action->text();
        QCOMPARE(texts, QStringList({"Bind Delete...", "Bind Copy...", "Bind Move...", "Bind Zip..."}));

        menu->actions()[3]->trigger();

        QCOMPARE(dialogs.calls.size(), size_t{1});
        QCOMPARE(dialogs.calls[0].kind, int(OPERATION_ZIP));
        QVERIFY(!dialogs.calls[0].saved);
        QCOMPARE(window.operationList()->count(), 6);
        // Not the label rule: the set name alone until the label is next computed.
        QCOMPARE(window.operationList()->item(5)->text(), QString("Docs"));
        QCOMPARE(window.operationList()->item(5)->data(ROLE_IMAGE).toInt(), int(OPERATION_ZIP));
        StoreBytes operations;
        operations.I32(1);
        operations.I32(OPERATION_ZIP).Str("Docs").Str("").I32(0).I32(0).Str("").Str("").I32(0);
        operations.I32(static_cast<std::int32_t>(dialogs.lastRunToGive >> 32));
        operations.I32(static_cast<std::int32_t>(dialogs.lastRunToGive)).I32(0);
        QCOMPARE(ReadFile(BindingStoreFilePath()), operations.bytes());

        // A cancelled bind adds nothing.
        dialogs.answerOk = false;
        menu->actions()[0]->trigger();
        QCOMPARE(window.operationList()->count(), 6);
    }

    // Keyboard alone: Space on "New..." of the operations opens the bind
    // menu, which assistive technology finds under the application, and
    // the arrow keys and Enter choose from it.
    void bindMenuWorksFromTheKeyboard() {
        IsolatedEnvironment env;
        WriteStores({"Docs"}, {});
        RecordingLauncher dialogs;
        dialogs.nameToGive = "Docs";
        MainWindow window(dialogs);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QWidget* newOperation = window.control(ID_OPERATION_NEW);
        for (int i = 0; i < 20 && QApplication::focusWidget() != newOperation; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget(), newOperation);

        QStringList seen;
        QTimer::singleShot(0, [&seen] {
            QWidget* menu = QApplication::activePopupWidget();
            if (menu == nullptr) return;
            QAccessibleInterface* application = QAccessible::queryAccessibleInterface(qApp);
            for (int i = 0; i < application->childCount(); ++i) {
                QAccessibleInterface* window = application->child(i);
                if (window == nullptr || window->object() != menu) continue;
                QCOMPARE(application->indexOfChild(window), i);
                for (int j = 0; j < window->childCount(); ++j) seen << window->child(j)->text(QAccessible::Name);
            }
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::keyClick(newOperation, Qt::Key_Space);

        QCOMPARE(seen, QStringList({"Bind Delete...", "Bind Copy...", "Bind Move...", "Bind Zip..."}));
        QCOMPARE(dialogs.calls.size(), size_t{1});
        QCOMPARE(dialogs.calls[0].dialog, std::string("Bind"));
        QCOMPARE(dialogs.calls[0].kind, int(OPERATION_COPY));
    }

    void editingAnOperationKeepsTheRecordOnCancel() {
        IsolatedEnvironment env;
        const auto op = MakeOperation(OPERATION_COPY, "Docs", UtcTime(2004, 3, 7, 14, 5, 2));
        WriteStores({"Docs", "Music"}, {op.get()});
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();
        ClickRow(window.operationList(), 5);
        QCoreApplication::processEvents();
        const FileStamp bindingBefore = StampOf(BindingStoreFilePath());

        dialogs.answerOk = false;
        dialogs.nameToGive = "Music";
        QTest::mouseClick(window.button(ID_OPERATION_PROPERTY), Qt::LeftButton);
        QCOMPARE(window.operationList()->OperationAt(5)->setName, std::string("Docs"));
        QVERIFY(StampOf(BindingStoreFilePath()) == bindingBefore);

        dialogs.answerOk = true;
        dialogs.lastRunToGive = UtcTime(2004, 3, 7, 14, 5, 2);
        QTest::mouseClick(window.button(ID_OPERATION_PROPERTY), Qt::LeftButton);
        QVERIFY(dialogs.calls.back().saved);
        QCOMPARE(window.operationList()->OperationAt(5)->setName, std::string("Music"));
        QCOMPARE(window.operationList()->item(5)->text(), QString("Music"));
        QVERIFY(StampOf(BindingStoreFilePath()) != bindingBefore);
    }

    void removingAnOperationAsksWithItsSetName() {
        IsolatedEnvironment env;
        const auto a = MakeOperation(OPERATION_COPY, "Docs");
        const auto b = MakeOperation(OPERATION_ZIP, "Music");
        WriteStores({"Docs", "Music"}, {a.get(), b.get()});
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();
        MessageScript boxes;

        ClickRow(window.operationList(), 6);
        QCoreApplication::processEvents();
        boxes.Answer(MessageAnswer::No);
        QTest::mouseClick(window.button(ID_OPERATION_REMOVE), Qt::LeftButton);
        QCOMPARE(window.operationList()->OperationCount(), 2);
        boxes.Answer(MessageAnswer::Yes);
        QTest::mouseClick(window.button(ID_OPERATION_REMOVE), Qt::LeftButton);

        QCOMPARE(boxes.shown().size(), size_t{2});
        QCOMPARE(boxes.shown()[0].text, QString("Remove [Music]?"));
        QCOMPARE(boxes.shown()[0].icon, MessageIcon::Question);
        QCOMPARE(window.operationList()->OperationCount(), 1);
        // The removed row took the selection with it.
        QCoreApplication::processEvents();
        QCOMPARE(States(window), (ButtonStates{false, false, false, false, false}));
        StoreBytes operations;
        operations.I32(1);
        AppendOperationBytes(operations, OPERATION_COPY, "Docs");
        QCOMPARE(ReadFile(BindingStoreFilePath()), operations.bytes());

        // A fixed row is never removed and nothing is asked.
        window.operationList()->setCurrentRow(0);
        window.operationList()->RemoveSelected();
        QCOMPARE(boxes.shown().size(), size_t{2});
        QCOMPARE(window.operationList()->count(), 6);
    }

    void theHighlightFollowsTheDragAndLeavingClearsIt() {
        IsolatedEnvironment env;
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();
        auto* operations = window.operationList();
        SimulatedDrag drag(operations, MakeSetDragData("Docs"));

        QVERIFY(drag.Enter(RowCentre(operations, 0)));
        QVERIFY(drag.Move(RowCentre(operations, 0)));
        QVERIFY(drag.Move(RowCentre(operations, 1)));
        QVERIFY(drag.Move(RowCentre(operations, 3)));
        QCOMPARE(HighlightedRows(operations), std::vector<int>{3});
        QCOMPARE(operations->HighlightedRow(), 3);

        drag.Leave();
        QCOMPARE(HighlightedRows(operations), std::vector<int>{});
        QCOMPARE(operations->HighlightedRow(), -1);
    }

    void rowsArePaintedRedWhileTargetedAndBlueWhenSelected() {
        IsolatedEnvironment env;
        const auto op = MakeOperation(OPERATION_COPY, "Docs");
        WriteStores({"Docs", "Music"}, {op.get()});
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();
        auto* operations = window.operationList();
        auto* sets = window.setList();
        // A point of a row's own background, clear of its image and text.
        const auto corner = [](QListWidget* list, int row) {
            return list->visualItemRect(list->item(row)).topLeft() + QPoint(1, 1);
        };
        const auto rowEnd = [](QListWidget* list, int row) {
            const QRect rect = list->visualItemRect(list->item(row));
            return QPoint(list->viewport()->width() - 3, rect.center().y());
        };
        const auto colour = [](QListWidget* list, const QPoint& at) {
            return QColor(list->viewport()->grab().toImage().pixel(at));
        };
        const QColor black(0, 0, 0), blue(0, 0, 255), red(255, 0, 0);

        // The saved Copy wears the marker over the Copy image, which still
        // shows where the marker is clear.
        const QImage unselected = operations->viewport()->grab().toImage();
        const auto imageAt = [&](int row) {
            const QRect cell = operations->visualItemRect(operations->item(row));
            return unselected.copy(OperationRowDelegate::ImageRect(cell));
        };
        const QImage fixedCopy = imageAt(1);
        const QImage savedCopy = imageAt(5);
        int differing = 0;
        for (int y = 0; y < fixedCopy.height(); ++y) {
            for (int x = 0; x < fixedCopy.width(); ++x) {
                differing += fixedCopy.pixel(x, y) != savedCopy.pixel(x, y) ? 1 : 0;
            }
        }
        QVERIFY(differing > 0);
        QVERIFY(differing < fixedCopy.width() * fixedCopy.height() / 2);

        ClickRow(operations, 1);
        ClickRow(sets, 1);
        QCoreApplication::processEvents();
        SimulatedDrag drag(operations, MakeSetDragData("Docs"));
        drag.Enter(RowCentre(operations, 3));
        QVERIFY(drag.Move(RowCentre(operations, 3)));
        QCoreApplication::processEvents();
        QCOMPARE(colour(operations, corner(operations, 0)), black);
        QCOMPARE(colour(operations, corner(operations, 1)), blue);
        QCOMPARE(colour(operations, corner(operations, 3)), red);
        QCOMPARE(colour(operations, corner(operations, 5)), black);
        QCOMPARE(colour(sets, rowEnd(sets, 0)), black);
        QCOMPARE(colour(sets, rowEnd(sets, 1)), blue);

        // The drop target's red wins over the selection's blue, and the row
        // left behind is repainted.
        QVERIFY(drag.Move(RowCentre(operations, 1)));
        QCoreApplication::processEvents();
        QCOMPARE(colour(operations, corner(operations, 1)), red);
        QCOMPARE(colour(operations, corner(operations, 3)), black);
        drag.Leave();
        QCoreApplication::processEvents();
        QCOMPARE(colour(operations, corner(operations, 1)), blue);
    }

    void dropsOnUnZipOrASavedOperationAreRefused_data() {
        QTest::addColumn<int>("row");
        QTest::newRow("UnZip") << 4;
        QTest::newRow("saved operation") << 5;
    }

    void dropsOnUnZipOrASavedOperationAreRefused() {
        QFETCH(int, row);
        IsolatedEnvironment env;
        const auto op = MakeOperation(OPERATION_COPY, "Docs");
        WriteStores({"Docs"}, {op.get()});
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();
        auto* operations = window.operationList();
        SimulatedDrag drag(operations, MakeSetDragData("Docs"));

        drag.Enter(RowCentre(operations, 2));
        QVERIFY(drag.Move(RowCentre(operations, 2)));
        QVERIFY(!drag.Move(RowCentre(operations, row)));  // refusal clears the highlight
        QCOMPARE(HighlightedRows(operations), std::vector<int>{});
        QVERIFY(!drag.Drop(RowCentre(operations, row)));
        QCoreApplication::processEvents();

        QCOMPARE(HighlightedRows(operations), std::vector<int>{});
        QCOMPARE(operations->HighlightedRow(), -1);
        QCOMPARE(operations->SelectedCount(), 0);
        QVERIFY(dialogs.calls.empty());
    }

    void dataWithoutTheSetFormatIsNotAccepted() {
        IsolatedEnvironment env;
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();
        auto* operations = window.operationList();
        auto* text = new QMimeData;
        text->setText("Docs");
        SimulatedDrag drag(operations, text);

        QVERIFY(!drag.Enter(RowCentre(operations, 2)));
        QVERIFY(!drag.Move(RowCentre(operations, 2)));
        QVERIFY(!drag.Drop(RowCentre(operations, 2)));
        QCoreApplication::processEvents();
        QCOMPARE(HighlightedRows(operations), std::vector<int>{});
        QVERIFY(dialogs.calls.empty());
    }

    void aDropOnMoveSelectsItAndQueuesTheMoveRunDialog() {
        IsolatedEnvironment env;
        WriteStores({"Docs", "Music"}, {});
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();
        auto* operations = window.operationList();
        std::unique_ptr<QMimeData> payload(window.setList()->DragDataForRow(1));
        QVERIFY(payload != nullptr);
        auto* carried = new QMimeData;
        carried->setData(SetDragMimeType(), payload->data(SetDragMimeType()));
        SimulatedDrag drag(operations, carried);

        drag.Enter(RowCentre(operations, 2));
        QVERIFY(drag.Move(RowCentre(operations, 2)));
        QVERIFY(drag.Drop(RowCentre(operations, 2)));
        // Opened only once the drop has returned.
        QVERIFY(dialogs.calls.empty());
        QCOMPARE(operations->FirstSelectedRow(), 2);
        QCOMPARE(HighlightedRows(operations), std::vector<int>{});
        QCOMPARE(operations->DroppedSetName(), std::string("Music"));

        QCoreApplication::processEvents();
        QCOMPARE(dialogs.calls.size(), size_t{1});
        QCOMPARE(dialogs.calls[0].dialog, std::string("Run"));
        QCOMPARE(dialogs.calls[0].kind, int(OPERATION_MOVE));
        QCOMPARE(dialogs.calls[0].setName, std::string("Music"));
        QVERIFY(!dialogs.calls[0].saved);
        QCOMPARE(States(window), (ButtonStates{false, false, false, false, true}));
    }

    void maximisedAtExitReopensMaximised() {
        IsolatedEnvironment env;
        RecordingLauncher dialogs;
        {
            MainWindow window(dialogs);
            window.show();
            window.showMaximized();
            QCoreApplication::processEvents();
            QTest::mouseClick(window.button(ID_EXIT), Qt::LeftButton);
            QVERIFY(!window.isVisible());
            QCOMPARE(window.result(), int(QDialog::Accepted));
        }
        QCOMPARE(GetSettingInt("maxsizewindow", -7), 1);
        {
            MainWindow window(dialogs);
            QVERIFY(window.windowState().testFlag(Qt::WindowMaximized));
            window.show();
            QCoreApplication::processEvents();
            QVERIFY(window.isMaximized());
            window.showNormal();
            QCoreApplication::processEvents();
            QTest::mouseClick(window.button(ID_EXIT), Qt::LeftButton);
        }
        QCOMPARE(GetSettingInt("maxsizewindow", -7), 0);
        MainWindow window(dialogs);
        QVERIFY(!window.windowState().testFlag(Qt::WindowMaximized));
    }

    void closingGoesThroughExit() {
        IsolatedEnvironment env;
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();

        window.close();
        QVERIFY(window.isVisible());  // queued, not handled inside the close
        QCoreApplication::processEvents();
        QVERIFY(!window.isVisible());
        QCOMPARE(GetSettingInt("maxsizewindow", -7), 0);
    }

    void enterAndEscapeDoNotCloseTheWindow() {
        IsolatedEnvironment env;
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();

        for (QWidget* target : {static_cast<QWidget*>(window.button(ID_EXIT)),
                                static_cast<QWidget*>(window.operationList()),
                                static_cast<QWidget*>(&window)}) {
            target->setFocus();
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
                QTest::keyClick(target, key);
                QCoreApplication::processEvents();
                QVERIFY2(window.isVisible(), qPrintable(target->metaObject()->className()));
            }
        }
        QCOMPARE(GetSettingInt("maxsizewindow", -7), -7);
        QVERIFY(dialogs.calls.empty());
    }

    void layoutFollowsTheWindowSize() {
        IsolatedEnvironment env;
        RecordingLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        QCoreApplication::processEvents();
        const QSize before = window.size();
        auto geometry = [&window](int id) { return window.control(id)->geometry(); };
        const QRect setGroup = geometry(ID_SET_GROUP);
        const QRect setList = geometry(ID_SET_LIST);
        const int exitRight = before.width() - geometry(ID_EXIT).right();
        const int buttonsBottom = before.height() - geometry(ID_RUN).bottom();
        const int operationsRight = before.width() - geometry(ID_OPERATION_LIST).right();

        window.resize(before + QSize(300, 200));
        QCoreApplication::processEvents();
        const QSize after = window.size();

        QCOMPARE(geometry(ID_SET_GROUP).topLeft(), setGroup.topLeft());
        QCOMPARE(geometry(ID_SET_GROUP).width(), setGroup.width());
        QCOMPARE(geometry(ID_SET_GROUP).height(), setGroup.height() + 200);
        QCOMPARE(geometry(ID_SET_LIST).width(), setList.width());
        QCOMPARE(after.width() - geometry(ID_OPERATION_LIST).right(), operationsRight);
        QCOMPARE(after.width() - geometry(ID_EXIT).right(), exitRight);
        QCOMPARE(after.height() - geometry(ID_RUN).bottom(), buttonsBottom);
        // Buttons of a row keep the first one's size, exactly a pixel apart.
        for (auto row : {std::vector<int>{ID_SET_NEW, ID_SET_PROPERTY, ID_SET_REMOVE},
                         std::vector<int>{ID_OPERATION_NEW, ID_OPERATION_PROPERTY,
                                          ID_OPERATION_REMOVE, ID_RUN},
                         std::vector<int>{ID_ABOUT, ID_CONFIGURE}}) {
            for (size_t i = 1; i < row.size(); ++i) {
                QCOMPARE(geometry(row[i]).left(), geometry(row[i - 1]).right() + 2);
                QCOMPARE(geometry(row[i]).size(), geometry(row[0]).size());
                QCOMPARE(geometry(row[i]).top(), geometry(row[0]).top());
            }
        }
        QCOMPARE(geometry(ID_EXIT).top(), geometry(ID_ABOUT).top());
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
