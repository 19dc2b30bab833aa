// The four bind dialogs on real widgets: what they show, when "OK" is
// allowed, and the bytes the window stores from them. Operations bound here
// run in a real kivo-cli, and those bound by kivo-cli open here unchanged.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "GuiTestSupport.h"
#include "model/OperationList.h"
#include "platform/Paths.h"
#include "ui/bind/BindKindDialogs.h"
#include "ui/common/MessageBoxes.h"
#include "ui/common/SetChooser.h"
#include "ui/main/MainWindow.h"
#include "ui/main/OperationListWidget.h"
#include "ui/main/WindowLauncher.h"

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr int kFirstSavedRow = 5;  // below the five built-in rows

void Cli(const QStringList& args) {
    QProcess cli;
    cli.start(QStringLiteral(KIVO_CLI_PATH),
              QStringList{"--data-dir", QString::fromStdString(DataFolder()), "-q"} + args);
    QVERIFY(cli.waitForFinished(60000));
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
}

void StoreOperations(std::vector<std::unique_ptr<Operation>> operations) {
    OperationList list;
    list.operations = std::move(operations);
    list.Save(BindingStoreFilePath());
}

OperationList StoredOperations() {
    OperationList list;
    list.Load(BindingStoreFilePath());
    return list;
}

QLineEdit* Box(BindDialogBase& dialog, int id) { return qobject_cast<QLineEdit*>(dialog.control(id)); }
QAbstractButton* Choice(BindDialogBase& dialog, int id) {
    return qobject_cast<QAbstractButton*>(dialog.control(id));
}

void Type(QLineEdit* box, const QString& text) {
    box->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(box, Qt::Key_Delete);
    } else {
        QTest::keyClicks(box, text);
    }
}

// "OK" after the queued refresh has run.
bool OkEnabled(BindDialogBase& dialog) {
    QCoreApplication::processEvents();
    return dialog.button(ID_BIND_OK)->isEnabled();
}

// The user's click, after the buttons were re-evaluated.
void PressOk(BindDialogBase& dialog) {
    QCoreApplication::processEvents();
    dialog.button(ID_BIND_OK)->click();
}

void Select(BindDialogBase& dialog, const QString& setName) {
    dialog.chooser()->setCurrentIndex(dialog.chooser()->findText(setName));
}

// Calls `act` on the bind dialog that `open` shows modally; a dialog left
// open is rejected after a while so that the test fails instead of hanging.
bool OnBindDialog(const std::function<void()>& open, const std::function<void(BindDialogBase&)>& act) {
    bool acted = false;
    int waited = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<BindDialogBase*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        if (!acted) {
            acted = true;
            act(*dialog);
        } else if ((waited += 5) > 20000) {
            dialog->reject();
        }
    });
    timer.start(5);
    open();
    return acted;
}

}  // namespace

class BindDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qputenv("TZ", "UTC");
        tzset();
    }

    void typingANameChoosesItsBoxAndBlankingItDoesNot() {
        IsolatedEnvironment env;
        WriteStores({"Docs"}, {});
        BindZipDialog dialog;
        Operation empty;
        empty.kind = OPERATION_ZIP;
        dialog.FillFrom(empty);
        dialog.show();
        QAbstractButton* fixed = Choice(dialog, ID_BIND_FIXED_NAME_CHOICE);
        QAbstractButton* prefix = Choice(dialog, ID_BIND_PREFIX_CHOICE);
        QVERIFY(fixed->isChecked());

        Type(Box(dialog, ID_BIND_PREFIX), "bk");
        QVERIFY(prefix->isChecked());
        Type(Box(dialog, ID_BIND_FIXED_NAME), "all");
        QVERIFY(fixed->isChecked());
        Type(Box(dialog, ID_BIND_PREFIX), "   ");
        QVERIFY(fixed->isChecked());
        Type(Box(dialog, ID_BIND_PREFIX), "b");
        Type(Box(dialog, ID_BIND_FIXED_NAME), "");
        QVERIFY(prefix->isChecked());
    }

    void zipOkNeedsSetFolderAndAUsableName_data() {
        QTest::addColumn<bool>("withSet");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("fixedName");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<bool>("ok");
        QTest::newRow("prefix with colon") << true << "/z" << "" << "backup:" << false;
        QTest::newRow("prefix with slash") << true << "/z" << "" << "backup/x" << false;
        QTest::newRow("prefix with blanks") << true << "/z" << "" << "  backup  " << true;
        QTest::newRow("fixed with pipe") << true << "/z" << "a|b" << "" << false;
        QTest::newRow("fixed with quote") << true << "/z" << "a\"b.zip" << "" << false;
        QTest::newRow("fixed name") << true << "/z" << "a.zip" << "" << true;
        QTest::newRow("the other box is bad") << true << "/z" << "a.zip" << "" << true;
        QTest::newRow("blank folder") << true << "  " << "a.zip" << "" << false;
        QTest::newRow("no set") << false << "/z" << "a.zip" << "" << false;
    }

    void zipOkNeedsSetFolderAndAUsableName() {
        QFETCH(bool, withSet);
        QFETCH(QString, folder);
        QFETCH(QString, fixedName);
        QFETCH(QString, prefix);
        QFETCH(bool, ok);
        IsolatedEnvironment env;
        WriteStores({"Docs"}, {});
        BindZipDialog dialog;
        dialog.show();
        if (withSet) Select(dialog, "Docs");
        Type(Box(dialog, ID_BIND_DESTINATION), folder);
        if (QTest::currentDataTag() == QByteArray("the other box is bad")) {
            // Only the chosen box counts.
            Box(dialog, ID_BIND_PREFIX)->setText("x*y");
            Choice(dialog, ID_BIND_FIXED_NAME_CHOICE)->click();
        }
        if (!fixedName.isEmpty()) Type(Box(dialog, ID_BIND_FIXED_NAME), fixedName);
        if (!prefix.isEmpty()) Type(Box(dialog, ID_BIND_PREFIX), prefix);
        QCOMPARE(OkEnabled(dialog), ok);
    }

    // New operations made in the window, compared byte for byte with the
    // store, and the Delete one run by kivo-cli.
    void newOperationsAreStoredAsBound() {
        IsolatedEnvironment env;
        const QString root = env.path();
        QDir(root).mkpath("docs/sub");
        WriteFile((root + "/docs/sub/a.txt").toStdString(), "secret");
        Cli({"set-add", "Docs", root + "/docs"});
        WindowLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        OperationListWidget* list = window.operationList();
        const std::string copyTo = (root + "/new/copy").toStdString();
        const std::string zipTo = (root + "/new/zips").toStdString();

        QVERIFY(OnBindDialog([&] { list->BindNew(OPERATION_DELETE); }, [](BindDialogBase& d) {
            QCOMPARE(d.windowTitle(), QString("Bind Kivo Delete"));
            Select(d, "Docs");
            Choice(d, ID_BIND_EMPTY_FOLDERS_YES + 1)->click();  // "No"
            Type(Box(d, ID_BIND_PASSES), "999");
            PressOk(d);
        }));
        QVERIFY(OnBindDialog([&] { list->BindNew(OPERATION_COPY); }, [&](BindDialogBase& d) {
            QCOMPARE(d.windowTitle(), QString("Bind Kivo Copy"));
            QVERIFY(Choice(d, ID_BIND_OVERWRITE_ALWAYS)->isChecked());
            Select(d, "Docs");
            Type(Box(d, ID_BIND_DESTINATION), " " + QString::fromStdString(copyTo) + " ");
            Choice(d, ID_BIND_OVERWRITE_ALWAYS + 1)->click();  // "Never"
            Choice(d, ID_BIND_SKIP_IF_MISSING)->click();
            PressOk(d);
        }));
        QVERIFY(OnBindDialog([&] { list->BindNew(OPERATION_MOVE); }, [&](BindDialogBase& d) {
            Select(d, "Docs");
            Type(Box(d, ID_BIND_DESTINATION), QString::fromStdString(copyTo));
            Choice(d, ID_BIND_EMPTY_FOLDERS_YES + 2)->click();  // "Sub-folders only"
            PressOk(d);
        }));
        QVERIFY(OnBindDialog([&] { list->BindNew(OPERATION_ZIP); }, [&](BindDialogBase& d) {
            Select(d, "Docs");
            Type(Box(d, ID_BIND_DESTINATION), QString::fromStdString(zipTo));
            Type(Box(d, ID_BIND_PREFIX), "  backup  ");
            Type(Box(d, ID_BIND_PASSWORD), " pw ");
            PressOk(d);
            QCOMPARE(Box(d, ID_BIND_PREFIX)->text(), QString("backup"));
        }));

        QVERIFY(QFileInfo(QString::fromStdString(copyTo)).isDir());
        QVERIFY(QFileInfo(QString::fromStdString(zipTo)).isDir());
        StoreBytes expected;
        expected.I32(4);
        expected.I32(0).Str("Docs").Str("").I32(0).I32(999).Str("").Str("").I32(0);
        expected.I32(0).I32(0).I32(1 << 1);
        expected.I32(1).Str("Docs").Str(copyTo).I32(1).I32(0).Str("").Str("").I32(0);
        expected.I32(0).I32(0).I32(1);
        expected.I32(2).Str("Docs").Str(copyTo).I32(0).I32(0).Str("").Str("").I32(0);
        expected.I32(0).I32(0).I32(2 << 1);
        expected.I32(3).Str("Docs").Str(zipTo).I32(0).I32(0).Str("pw").Str("backup").I32(1);
        expected.I32(0).I32(0).I32(0);
        QCOMPARE(ReadFile(BindingStoreFilePath()), expected.bytes());
        QCOMPARE(list->item(kFirstSavedRow)->text(), QString("Docs"));

        // "No": the file is gone, its emptied folder stays.
        Cli({"run", "1"});
        QVERIFY(!QFileInfo::exists(root + "/docs/sub/a.txt"));
        QVERIFY(QFileInfo(root + "/docs/sub").isDir());
    }

    void operationsBoundByTheCliOpenWithEveryValue() {
        IsolatedEnvironment env;
        const QString root = env.path();
        QDir(root).mkpath("docs");
        WriteFile((root + "/pw").toStdString(), "s3cret\n");
        Cli({"set-add", "Docs", root + "/docs"});
        Cli({"set-add", "Music", root + "/docs"});
        Cli({"bind", "delete", "Music", "--passes", "12", "--remove-empty", "sub"});
        Cli({"bind", "copy", "Docs", root + "/c", "--overwrite", "never", "--skip-missing"});
        Cli({"bind", "move", "Music", root + "/m", "--overwrite", "if-older", "--remove-empty",
             "no"});
        Cli({"bind", "zip", "Docs", root + "/z", "--prefix", "day-", "--password-file",
             root + "/pw"});
        Cli({"bind", "zip", "Music", root + "/z", "--name", "all.zip"});
        const OperationList stored = StoredOperations();
        QCOMPARE(stored.operations.size(), size_t{5});

        for (const auto& operation : stored.operations) {
            auto dialog = MakeBindDialog(operation->kind, nullptr);
            dialog->FillFrom(*operation);
            dialog->show();
            QVERIFY(OkEnabled(*dialog));
            QCOMPARE(dialog->chooser()->currentText().toStdString(), operation->setName);
            // What OK reads back from the controls alone rebuilds the record.
            Operation readBack;
            readBack.kind = operation->kind;
            dialog->ApplyTo(readBack);
            readBack.lastRun = operation->lastRun;
            QCOMPARE(readBack.setName, operation->setName);
            QCOMPARE(readBack.destination, operation->destination);
            QCOMPARE(readBack.overwriteMode, operation->overwriteMode);
            QCOMPARE(readBack.erasePasses, operation->erasePasses);
            QCOMPARE(readBack.zipPassword, operation->zipPassword);
            QCOMPARE(readBack.zipName, operation->zipName);
            QCOMPARE(readBack.zipNameByTime, operation->zipNameByTime);
            QCOMPARE(readBack.flags, operation->flags);
        }
        QCOMPARE(stored.operations[3]->zipPassword, std::string("s3cret"));
    }

    void editingAMoveReplacesBothModeBitsAndKeepsTheOthers() {
        IsolatedEnvironment env;
        WriteStores({"Docs"}, {});
        auto move = MakeOperation(OPERATION_MOVE, "Docs");
        move->flags = 0x100 | (EMPTY_FOLDERS_SUBFOLDERS_ONLY << 1) | kFlagSkipIfMissing;
        std::vector<std::unique_ptr<Operation>> operations;
        operations.push_back(std::move(move));
        StoreOperations(std::move(operations));
        std::string expected = ReadFile(BindingStoreFilePath());
        expected.replace(expected.size() - 4, 4, std::string("\x01\x01\x00\x00", 4));

        WindowLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        window.operationList()->setCurrentRow(kFirstSavedRow);
        QVERIFY(OnBindDialog([&] { window.operationList()->EditSelected(); }, [](BindDialogBase& d) {
            QVERIFY(Choice(d, ID_BIND_EMPTY_FOLDERS_YES + 2)->isChecked());
            QVERIFY(Choice(d, ID_BIND_SKIP_IF_MISSING)->isChecked());
            Choice(d, ID_BIND_EMPTY_FOLDERS_YES)->click();
            PressOk(d);
        }));
        QCOMPARE(ReadFile(BindingStoreFilePath()), expected);
    }

    // The AES box sets or clears bit 3 and nothing else.
    void editingAZipSetsAndClearsOnlyTheAesBit() {
        IsolatedEnvironment env;
        WriteStores({"Docs"}, {});
        auto zip = MakeOperation(OPERATION_ZIP, "Docs");
        zip->destination = env.path().toStdString();
        zip->zipName = "z";
        zip->zipPassword = "pw";
        zip->flags = 0x107;
        std::vector<std::unique_ptr<Operation>> operations;
        operations.push_back(std::move(zip));
        StoreOperations(std::move(operations));
        WindowLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        for (const std::uint32_t expected : {0x10Fu, 0x107u}) {
            window.operationList()->setCurrentRow(kFirstSavedRow);
            QVERIFY(OnBindDialog([&] { window.operationList()->EditSelected(); },
                                 [expected](BindDialogBase& d) {
                                     QCOMPARE(Choice(d, ID_BIND_AES)->isChecked(),
                                              expected == 0x107u);
                                     Choice(d, ID_BIND_AES)->click();
                                     PressOk(d);
                                 }));
            QCOMPARE(StoredOperations().operations.at(0)->flags, expected);
        }
    }

    void anEditedOperationShowsItsSetNameAloneAndCancelChangesNothing() {
        IsolatedEnvironment env;
        WriteStores({"Docs", "Music"}, {});
        std::vector<std::unique_ptr<Operation>> operations;
        operations.push_back(MakeOperation(OPERATION_COPY, "Docs", 133000000000000000));
        StoreOperations(std::move(operations));
        const std::string before = ReadFile(BindingStoreFilePath());
        WindowLauncher dialogs;
        MainWindow window(dialogs);
        window.show();
        OperationListWidget* list = window.operationList();
        QVERIFY(list->item(kFirstSavedRow)->text() != "Docs");
        list->setCurrentRow(kFirstSavedRow);

        QVERIFY(OnBindDialog([&] { list->EditSelected(); }, [](BindDialogBase& d) {
            Select(d, "Music");
            d.button(ID_BIND_CANCEL)->click();
        }));
        QCOMPARE(ReadFile(BindingStoreFilePath()), before);

        QVERIFY(OnBindDialog([&] { list->EditSelected(); }, [](BindDialogBase& d) {
            Select(d, "Music");
            PressOk(d);
        }));
        QCOMPARE(list->item(kFirstSavedRow)->text(), QString("Music"));
        const OperationList stored = StoredOperations();
        QCOMPARE(stored.operations.at(0)->setName, std::string("Music"));
        QCOMPARE(stored.operations.at(0)->lastRun, FileTime{133000000000000000});
    }

    void anOperationWhoseSetIsGoneOpensWithNothingSelected() {
        IsolatedEnvironment env;
        WriteStores({"Docs"}, {});
        for (int kind : {OPERATION_DELETE, OPERATION_COPY, OPERATION_MOVE, OPERATION_ZIP}) {
            auto operation = MakeOperation(kind, "Gone");
            operation->zipName = "a.zip";
            auto dialog = MakeBindDialog(kind, nullptr);
            dialog->FillFrom(*operation);
            dialog->show();
            QCOMPARE(dialog->chooser()->currentIndex(), -1);
            QVERIFY(!OkEnabled(*dialog));
            Select(*dialog, "Docs");
            QVERIFY(OkEnabled(*dialog));
        }
    }

    void aFolderThatCannotBeCreatedKeepsTheDialogOpen() {
        IsolatedEnvironment env;
        WriteStores({"Docs"}, {});
        const std::string blocker = (env.path() + "/file").toStdString();
        WriteFile(blocker, "x");
        BindTransferDialog dialog(false);
        dialog.show();
        Select(dialog, "Docs");
        Type(Box(dialog, ID_BIND_DESTINATION), QString::fromStdString(blocker + "/sub  "));
        MessageScript boxes;
        QVERIFY(OkEnabled(dialog));
        PressOk(dialog);
        QCOMPARE(boxes.shown().size(), size_t{1});
        QCOMPARE(boxes.shown()[0].icon, MessageIcon::Exclamation);
        QCOMPARE(boxes.shown()[0].text,
                 QString("Can not create folder:\n%1/sub").arg(QString::fromStdString(blocker)));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(Box(dialog, ID_BIND_DESTINATION)->text().toStdString(), blocker + "/sub");
    }
};

QTEST_MAIN(BindDialogsTest)
#include "test_bind_dialogs.moc"
