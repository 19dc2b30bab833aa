// The Delete, Copy, Move and Zip run dialogs with their real engines, and
// running saved operations from the main window.
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <cerrno>

#include "FakeSetEditor.h"
#include "GuiTestSupport.h"
#include "RunTestSupport.h"
#include "model/StringTable.h"
#include "platform/Faults.h"
#include "settings/Settings.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/LocalClock.h"
#include "ui/common/MessageBoxes.h"
#include "ui/common/SetChooser.h"
#include "ui/main/MainWindow.h"
#include "ui/main/OperationListWidget.h"
#include "ui/main/SetListWidget.h"
#include "ui/run/DeleteRunDialog.h"
#include "ui/run/RunDialogFactory.h"
#include "ui/run/TransferRunDialog.h"
#include "ui/run/ZipRunDialog.h"
#include "zip/format/ZipDirectory.h"

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr int kFirstSavedRow = 5;

QLineEdit* Edit(RunDialogBase& dialog, int id) { return static_cast<QLineEdit*>(dialog.control(id)); }

bool Checked(RunDialogBase& dialog, int id) {
    return static_cast<QAbstractButton*>(dialog.control(id))->isChecked();
}

void WriteText(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

int Finish(RunDialogBase& dialog) {
    QSignalSpy finished(&dialog, &QDialog::finished);
    if (!finished.wait(20000)) return -1;
    return finished.front().front().toInt();
}

}  // namespace

class TestRunDialogs : public QObject {
    Q_OBJECT

    IsolatedEnvironment* env_ = nullptr;
    QString root_;
    FakeSetEditor editor_;

    // Set "Photos" on the folder <root>/src/Photos with one file.
    void StorePhotos() {
        WriteText(root_ + "/src/Photos/a.txt", "alpha");
        StoreSets({{"Photos", (root_ + "/src/Photos").toStdString()}}, SetStoreFilePath());
    }

private slots:
    void init() {
        env_ = new IsolatedEnvironment;
        root_ = env_->path() + "/files";
        editor_ = FakeSetEditor();
        StorePhotos();
    }
    void cleanup() {
        delete env_;
        env_ = nullptr;
    }

    void SavedCopyWithoutDestinationWaitsForOne() {
        Operation saved;
        saved.kind = OPERATION_COPY;
        saved.setName = "photos";
        saved.destination = "";
        auto dialog = MakeRunDialog(OPERATION_COPY, saved.setName, &saved, editor_, nullptr);
        dialog->show();
        QTest::qWait(100);
        QVERIFY(dialog->idle());
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->button(ID_START)->isEnabled());
        QTest::keyClicks(Edit(*dialog, ID_DESTINATION), root_ + "/out");
        QTRY_VERIFY(dialog->button(ID_START)->isEnabled());
    }

    void DestinationIsTrimmedAndCreatedWithItsParents() {
        auto dialog = MakeRunDialog(OPERATION_COPY, "Photos", nullptr, editor_, nullptr);
        dialog->show();
        const QString target = root_ + "/out/deep/er";
        Edit(*dialog, ID_DESTINATION)->setText("  " + target + " \t");
        QTRY_VERIFY(dialog->button(ID_START)->isEnabled());
        dialog->button(ID_START)->click();
        QCOMPARE(Edit(*dialog, ID_DESTINATION)->text(), target);
        // Created by Start itself, before the worker scans anything.
        QVERIFY(QFileInfo(target).isDir());
        QCOMPARE(Finish(*dialog), int(QDialog::Accepted));
        QVERIFY(QFile::exists(target + "/Photos/a.txt"));
    }

    void UncreatableDestinationWarnsAndStaysIdle() {
        faults::Guard guard;
        MessageScript boxes;
        auto dialog = MakeRunDialog(OPERATION_MOVE, "Photos", nullptr, editor_, nullptr);
        dialog->show();
        const QString target = root_ + "/blocked/out";
        Edit(*dialog, ID_DESTINATION)->setText(target);
        QTRY_VERIFY(dialog->button(ID_START)->isEnabled());
        faults::Arm(faults::Call::Mkdir, EACCES, 1, 0);
        dialog->button(ID_START)->click();
        QCOMPARE(boxes.shown().size(), size_t(1));
        QCOMPARE(boxes.shown()[0].icon, MessageIcon::Exclamation);
        QCOMPARE(boxes.shown()[0].text, "Can not create folder:\n" + target);
        QTest::qWait(50);
        QVERIFY(dialog->idle());
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->button(ID_START)->isEnabled());
        QVERIFY(QFile::exists(root_ + "/src/Photos/a.txt"));
    }

    void PassesTextReachesTheEngineUnchanged_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("savedPasses");
        QTest::addColumn<QString>("engineText");
        QTest::newRow("typed 999") << "999" << -1 << "999";
        QTest::newRow("letters refused") << "1a2" << -1 << "12";
        QTest::newRow("three characters") << "12345" << -1 << "123";
        QTest::newRow("saved 999") << "" << 999 << "999";
        QTest::newRow("saved 1000") << "" << 1000 << "1000";
    }
    void PassesTextReachesTheEngineUnchanged() {
        QFETCH(QString, typed);
        QFETCH(int, savedPasses);
        QFETCH(QString, engineText);
        Operation saved;
        saved.kind = OPERATION_DELETE;
        saved.setName = "Photos";
        saved.erasePasses = static_cast<std::uint32_t>(savedPasses);
        DeleteRunDialog dialog("Photos", savedPasses >= 0, editor_);
        if (savedPasses >= 0) dialog.FillFrom(saved);
        std::string received = "<not run>";
        dialog.setRunner([&received](const FileSet* set, const DeleteOptions& options, CancelFlag&,
                                     RunSink&) {
            received = set != nullptr ? options.passesText : "<no set>";
            return RunResult{};
        });
        dialog.show();
        if (savedPasses < 0) {
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            // The box has the focus with its "0" selected: typing replaces it.
            QTRY_VERIFY(Edit(dialog, ID_DELETE_PASSES)->hasFocus());
            QTest::keyClicks(Edit(dialog, ID_DELETE_PASSES), typed);
            QTRY_VERIFY(dialog.button(ID_START)->isEnabled());
            dialog.button(ID_START)->click();
        }
        QCOMPARE(Finish(dialog), int(QDialog::Accepted));
        QCOMPARE(QString::fromStdString(received), engineText);
    }

    void SavedOperationFillsTheDialog_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QList<int>>("checkedIds");
        QTest::newRow("delete") << int(OPERATION_DELETE) << QList<int>{1062};
        QTest::newRow("copy") << int(OPERATION_COPY) << QList<int>{1026, 1059};
        QTest::newRow("move") << int(OPERATION_MOVE) << QList<int>{1026, 1059, 1062};
    }
    void SavedOperationFillsTheDialog() {
        QFETCH(int, kind);
        QFETCH(QList<int>, checkedIds);
        Operation saved;
        saved.kind = kind;
        saved.setName = "Photos";
        saved.destination = "/backup";
        saved.overwriteMode = OVERWRITE_NEVER;
        saved.erasePasses = 12;
        saved.flags = WithEmptyFolderMode(WithSkipIfMissing(0, true), EMPTY_FOLDERS_KEEP);
        auto dialog = MakeRunDialog(kind, saved.setName, &saved, editor_, nullptr);
        for (int id : {1025, 1026, 1027, 1059, 1061, 1062, 1063}) {
            if (dialog->control(id) == nullptr) continue;
            QVERIFY2(Checked(*dialog, id) == checkedIds.contains(id), qPrintable(QString::number(id)));
        }
        if (kind == OPERATION_DELETE) {
            QCOMPARE(Edit(*dialog, ID_DELETE_PASSES)->text(), QString("12"));
        } else {
            QCOMPARE(Edit(*dialog, ID_DESTINATION)->text(), QString("/backup"));
        }
        QVERIFY(dialog->autoStart());
    }

    void SavedRunRecordsOnlyACompletedRun_data() {
        QTest::addColumn<QString>("outcome");
        QTest::newRow("done") << "done";
        QTest::newRow("stopped during a long copy") << "stopped";
        QTest::newRow("failed") << "failed";
        QTest::newRow("fixed row") << "fixed";
    }
    void SavedRunRecordsOnlyACompletedRun() {
        QFETCH(QString, outcome);
        faults::Guard guard;
        MessageScript boxes;
        const QString source = root_ + "/src/Photos";
        const QString target = root_ + "/out";
        if (outcome == "stopped") {
            // Alone and big enough that its copy is still going when Cancel
            // comes.
            QVERIFY(QFile::remove(source + "/a.txt"));
            QFile big(source + "/big.bin");
            QVERIFY(big.open(QIODevice::WriteOnly));
            QVERIFY(big.resize(qint64(1) << 30));
        }
        Operation saved;
        saved.kind = OPERATION_COPY;
        saved.setName = "Photos";
        saved.destination = target.toStdString();
        SaveOperations({&saved}, BindingStoreFilePath());
        const std::string storeBefore = ReadFile(BindingStoreFilePath());
        if (outcome == "failed") {
            faults::Arm(faults::Call::Read, EIO, 1, 0, "a.txt");
        }

        MainWindow window(editor_);
        OperationListWidget* list = window.operationList();
        std::unique_ptr<WhenRunDialog> helper;
        if (outcome == "stopped") {
            helper = std::make_unique<WhenRunDialog>(
                [](RunDialogBase* d) {
                    auto* phase = static_cast<QLabel*>(d->control(ID_PHASE_LABEL));
                    return phase->text() == "Copying Files...";
                },
                [](RunDialogBase* d) { d->button(ID_CANCEL)->click(); });
        }
        if (outcome == "fixed") {
            list->setCurrentRow(1);  // the Copy row
            helper = std::make_unique<WhenRunDialog>(
                [](RunDialogBase*) { return true; },
                [target](RunDialogBase* d) {
                    d->chooser()->SelectByName("Photos");
                    Edit(*d, ID_DESTINATION)->setText(target);
                    QMetaObject::invokeMethod(d, &RunDialogBase::Start, Qt::QueuedConnection);
                });
        } else {
            list->setCurrentRow(kFirstSavedRow);
        }
        const FileTime before = CurrentFileTime();
        list->RunSelected();
        const FileTime after = CurrentFileTime();
        if (helper != nullptr) QVERIFY(helper->acted() && !helper->timedOut());

        OperationList stored;
        stored.Load(BindingStoreFilePath());
        QCOMPARE(stored.operations.size(), size_t(1));
        const Operation& record = *stored.operations[0];
        const bool recorded = outcome == "done";
        if (recorded) {
            QVERIFY(record.lastRun >= before - kTicksPerSecond && record.lastRun <= after);
            QCOMPARE(list->item(kFirstSavedRow)->text(), QString::fromStdString(record.Label()));
            QVERIFY(list->item(kFirstSavedRow)->text().startsWith("Photos 20"));
        } else {
            QCOMPARE(ReadFile(BindingStoreFilePath()), storeBefore);
            QCOMPARE(list->item(kFirstSavedRow)->text(), QString("Photos"));
        }
        const bool copied = outcome == "done" || outcome == "fixed";
        QCOMPARE(QFile::exists(target + "/Photos/a.txt"), copied);
        QVERIFY(!QFile::exists(target + "/Photos/big.bin"));
        const QStringList left = QDir(target + "/Photos").entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left, copied ? QStringList{"a.txt"} : QStringList{});
        QCOMPARE(int(boxes.shown().size()), outcome == "failed" ? 1 : 0);
        if (outcome == "failed") {
            QCOMPARE(boxes.shown()[0].icon, MessageIcon::Information);
            QVERIFY(boxes.shown()[0].text.endsWith(source + "/a.txt"));
        }
    }

    void DroppedSetIsSelectedWithoutStarting() {
        PutSetting("copyfolder", (root_ + "/remembered").toStdString());
        bool selected = false;
        bool idle = false;
        WhenRunDialog helper([](RunDialogBase*) { return true; },
                             [&](RunDialogBase* d) {
                                 QTest::qWait(50);
                                 selected = d->chooser()->currentText() == "Photos";
                                 idle = d->idle();
                                 d->reject();
                             });
        QVERIFY(!editor_.RunOperation(nullptr, OPERATION_COPY, "PHOTOS", nullptr));
        QVERIFY(helper.acted());
        QVERIFY(selected);
        QVERIFY(idle);
        QVERIFY(!QDir(root_ + "/remembered").exists());
    }

    void CreatedSetRunsAtOnceAndIsNeverStored() {
        const std::string setStore = ReadFile(SetStoreFilePath());
        WriteText(root_ + "/new/b.txt", "beta");
        editor_.newSetPath = (root_ + "/new").toStdString();
        auto dialog = MakeRunDialog(OPERATION_COPY, "", nullptr, editor_, nullptr);
        dialog->show();
        dialog->button(ID_SET_CREATE)->click();
        QCOMPARE(dialog->chooser()->currentText(), QString("Untitled Kivo 1"));
        Edit(*dialog, ID_DESTINATION)->setText(root_ + "/out");
        QTRY_VERIFY(dialog->button(ID_START)->isEnabled());
        dialog->button(ID_START)->click();
        QCOMPARE(Finish(*dialog), int(QDialog::Accepted));
        QVERIFY(QFile::exists(root_ + "/out/new/b.txt"));
        QCOMPARE(ReadFile(SetStoreFilePath()), setStore);
        MainWindow window(editor_);
        QCOMPARE(window.setList()->count(), 1);
    }

    void FolderButtonRemembersItsFolder_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("setting");
        QTest::newRow("copy") << int(OPERATION_COPY) << "copyfolder";
        QTest::newRow("move") << int(OPERATION_MOVE) << "movefolder";
    }
    void FolderButtonRemembersItsFolder() {
        QFETCH(int, kind);
        QFETCH(QString, setting);
        const QString remembered = root_ + "/src";
        PutSetting(setting.toUtf8().constData(), remembered.toStdString());
        FileDialogScript script;
        script.Answer(root_ + "/chosen");
        {
            auto dialog = MakeRunDialog(kind, "", nullptr, editor_, nullptr);
            Edit(*dialog, ID_DESTINATION)->setText("  ");
            dialog->button(ID_DESTINATION_BROWSE)->click();
            QCOMPARE(script.requests().back().startPath, remembered);
            QCOMPARE(Edit(*dialog, ID_DESTINATION)->text(), root_ + "/chosen");
        }
        auto next = MakeRunDialog(kind, "", nullptr, editor_, nullptr);
        QCOMPARE(Edit(*next, ID_DESTINATION)->text(), root_ + "/chosen");
        script.Cancel();
        next->button(ID_DESTINATION_BROWSE)->click();
        QCOMPARE(Edit(*next, ID_DESTINATION)->text(), root_ + "/chosen");
    }

    void SavedZipBuildsItsOutputPath_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("byTime");
        QTest::addColumn<QString>("written");  // empty: waits without a path
        QTest::newRow("prefix with date and time") << "zips" << "Backup" << 1 << "zips/Backup250307090503.zip";
        QTest::newRow("fixed name keeps its case") << "zips" << "Backup.ZIP" << 0 << "zips/Backup.ZIP";
        QTest::newRow("no folder") << "" << "Backup" << 0 << "";
    }
    void SavedZipBuildsItsOutputPath() {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(int, byTime);
        QFETCH(QString, written);
        const LocalClockOverride clock({2025, 3, 7, 9, 5, 3});
        Operation saved;
        saved.kind = OPERATION_ZIP;
        saved.setName = "Photos";
        saved.destination = folder.isEmpty() ? std::string() : (root_ + "/" + folder).toStdString();
        saved.zipName = name.toStdString();
        saved.zipNameByTime = byTime;
        QVERIFY(QDir().mkpath(root_ + "/zips"));
        auto dialog = MakeRunDialog(OPERATION_ZIP, "Photos", &saved, editor_, nullptr);
        dialog->show();
        if (written.isEmpty()) {
            QTest::qWait(100);
            QVERIFY(dialog->idle() && dialog->isVisible());
            QCOMPARE(Edit(*dialog, ID_ZIP_OUTPUT_PATH)->text(), QString());
            QVERIFY(!dialog->button(ID_START)->isEnabled());
            return;
        }
        QCOMPARE(Finish(*dialog), int(QDialog::Accepted));
        QCOMPARE(Edit(*dialog, ID_ZIP_OUTPUT_PATH)->text(), root_ + "/" + written);
        QVERIFY(QFileInfo(root_ + "/" + written).size() > 0);
        QCOMPARE(GetSetting("zipfilepath"), std::string());
    }

    // A saved Zip with the AES bit runs with the box ticked and writes AES;
    // without it, traditional encryption as before.
    void SavedZipWritesAesWhenItsBitIsSet_data() {
        QTest::addColumn<quint32>("flags");
        QTest::addColumn<int>("encryption");
        QTest::newRow("AES bit") << quint32(kFlagZipAes) << int(zip::EntryEncryption::Aes256);
        QTest::newRow("other bits only") << quint32(0x7) << int(zip::EntryEncryption::ZipCrypto);
    }
    void SavedZipWritesAesWhenItsBitIsSet() {
        QFETCH(quint32, flags);
        QFETCH(int, encryption);
        Operation saved;
        saved.kind = OPERATION_ZIP;
        saved.setName = "Photos";
        saved.destination = (root_ + "/zips").toStdString();
        saved.zipName = "Backup";
        saved.zipPassword = "pw";
        saved.flags = flags;
        QVERIFY(QDir().mkpath(root_ + "/zips"));
        auto dialog = MakeRunDialog(OPERATION_ZIP, "Photos", &saved, editor_, nullptr);
        QCOMPARE(Checked(*dialog, ID_ZIP_AES), (flags & kFlagZipAes) != 0);
        dialog->show();
        QCOMPARE(Finish(*dialog), int(QDialog::Accepted));
        zip::ZipDirectory directory;
        QVERIFY(directory.Load((root_ + "/zips/Backup.zip").toStdString()) != 0);
        for (const auto& entry : directory.Entries()) {
            if (!entry->isFolder) QCOMPARE(int(entry->encryption), encryption);
        }
    }

    void ZipBrowseAsksAboutAnAddedSuffix_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("reply");  // -1: no question expected
        QTest::addColumn<QString>("path");
        QTest::newRow("suffix added, file exists, Yes") << "old" << int(MessageAnswer::Yes) << "old.zip";
        QTest::newRow("suffix added, file exists, No") << "old" << int(MessageAnswer::No) << "";
        QTest::newRow("suffix added, no file") << "new" << -1 << "new.zip";
        QTest::newRow("typed with suffix") << "old.zip" << -1 << "old.zip";
    }
    void ZipBrowseAsksAboutAnAddedSuffix() {
        QFETCH(QString, answer);
        QFETCH(int, reply);
        QFETCH(QString, path);
        WriteText(root_ + "/old.zip", "PK");
        MessageScript boxes;
        if (reply >= 0) boxes.Answer(MessageAnswer(reply));
        FileDialogScript script;
        script.Answer(root_ + "/" + answer);
        ZipRunDialog dialog("Photos", false, editor_);
        dialog.show();
        dialog.button(ID_ZIP_BROWSE)->click();
        QCOMPARE(script.requests().back().kind, FileDialogKind::SaveFile);
        QCOMPARE(script.requests().back().filter, QString("Zip Files (*.zip)"));
        QCOMPARE(int(boxes.shown().size()), reply >= 0 ? 1 : 0);
        if (reply >= 0) QCOMPARE(boxes.shown()[0].icon, MessageIcon::Question);
        const QString expected = path.isEmpty() ? QString() : root_ + "/" + path;
        QCOMPARE(Edit(dialog, ID_ZIP_OUTPUT_PATH)->text(), expected);
        QCOMPARE(QString::fromStdString(GetSetting("zipfilepath")), expected);
        QTRY_COMPARE(dialog.button(ID_START)->isEnabled(), !expected.isEmpty());
    }
};

QTEST_MAIN(TestRunDialogs)
#include "test_run_dialogs.moc"
