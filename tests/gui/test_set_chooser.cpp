// The set drop-down of the run and bind dialogs, and the folder chooser of
// their "..." buttons.
#include <QDir>
#include <QPushButton>
#include <QtTest>

#include "FakeSetEditor.h"
#include "GuiTestSupport.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/PickFolder.h"
#include "ui/common/SetChooser.h"

using namespace kivo;
using namespace kivo::test;

namespace {

QStringList Items(const QComboBox& box) {
    QStringList items;
    for (int row = 0; row < box.count(); ++row) items << box.itemText(row);
    return items;
}

}  // namespace

class TestSetChooser : public QObject {
    Q_OBJECT

private slots:
    void LoadsSortedWithIndexesAndSelectsNothing() {
        IsolatedEnvironment env;
        WriteStores({"music", "Photos", "Archive", "docs"}, {});
        QWidget dialog;
        SetChooser chooser(&dialog, nullptr);
        QCOMPARE(Items(chooser), (QStringList{"Archive", "docs", "music", "Photos"}));
        QCOMPARE(chooser.currentIndex(), -1);
        QVERIFY(chooser.SelectedSet() == nullptr);
        // Item data points back at the store order.
        QCOMPARE(chooser.itemData(0).toInt(), 2);
        QCOMPARE(chooser.itemData(3).toInt(), 1);
        QVERIFY(chooser.propertyButton() == nullptr && chooser.createButton() == nullptr);
    }

    void SelectsByNameIgnoringCase_data() {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("selected");
        QTest::newRow("same case") << "Photos" << "Photos";
        QTest::newRow("other case") << "PHOTOS" << "Photos";
        QTest::newRow("unknown") << "Videos" << "";
        QTest::newRow("empty") << "" << "";
    }
    void SelectsByNameIgnoringCase() {
        QFETCH(QString, asked);
        QFETCH(QString, selected);
        IsolatedEnvironment env;
        WriteStores({"Music", "Photos"}, {});
        QWidget dialog;
        FakeSetEditor editor;
        SetChooser chooser(&dialog, &editor);
        chooser.SelectByName("Music");
        chooser.SelectByName(asked.toStdString());
        const FileSet* set = chooser.SelectedSet();
        QCOMPARE(set == nullptr ? QString() : QString::fromStdString(set->name), selected);
        QCOMPARE(chooser.propertyButton()->isEnabled(), !selected.isEmpty());
    }

    // Names that differ only in letter case: the exact spelling, or none.
    void SelectsTheExactSpellingAmongNamesDifferingInCase_data() {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("selected");
        QTest::newRow("first spelling") << "Work" << "Work";
        QTest::newRow("second spelling") << "WORK" << "WORK";
        QTest::newRow("fits both") << "work" << "";
        QTest::newRow("one fit") << "MUSIC" << "Music";
    }
    void SelectsTheExactSpellingAmongNamesDifferingInCase() {
        QFETCH(QString, asked);
        QFETCH(QString, selected);
        IsolatedEnvironment env;
        WriteStores({"WORK", "Music", "Work"}, {});
        QWidget dialog;
        FakeSetEditor editor;
        SetChooser chooser(&dialog, &editor);
        chooser.SelectByName("Music");
        chooser.SelectByName(asked.toStdString());
        const FileSet* set = chooser.SelectedSet();
        QCOMPARE(set == nullptr ? QString() : QString::fromStdString(set->name), selected);
    }

    void CreateCountsOnlyConfirmedSetsAndNeverStores() {
        IsolatedEnvironment env;
        WriteStores({"Music"}, {});
        const std::string storeBefore = ReadFile(SetStoreFilePath());
        FakeSetEditor editor;
        editor.createAnswers = {true, false, true};
        {
            QWidget dialog;
            SetChooser chooser(&dialog, &editor);
            QSignalSpy changed(&chooser, &SetChooser::setsChanged);
            chooser.createButton()->click();
            chooser.createButton()->click();  // cancelled
            chooser.createButton()->click();
            QCOMPARE(editor.createdNames,
                     (std::vector<std::string>{"Untitled Kivo 1", "Untitled Kivo 2", "Untitled Kivo 2"}));
            QCOMPARE(Items(chooser), (QStringList{"Music", "Untitled Kivo 1", "Untitled Kivo 2"}));
            QCOMPARE(chooser.SelectedSet()->name, std::string("Untitled Kivo 2"));
            QCOMPARE(chooser.itemData(2).toInt(), 2);
            QVERIFY(changed.count() >= 3);
        }
        QCOMPARE(ReadFile(SetStoreFilePath()), storeBefore);
        QWidget dialog;
        SetChooser fresh(&dialog, &editor);
        fresh.createButton()->click();
        QCOMPARE(editor.createdNames.back(), std::string("Untitled Kivo 1"));
        QCOMPARE(fresh.count(), 2);
    }

    void PropertyRenameReplacesTheItem_data() {
        QTest::addColumn<QString>("renameTo");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("new name sorts first") << "Audio" << QStringList{"Audio", "Photos"};
        QTest::newRow("case only keeps the item") << "MUSIC" << QStringList{"Music", "Photos"};
        QTest::newRow("cancelled") << "" << QStringList{"Music", "Photos"};
    }
    void PropertyRenameReplacesTheItem() {
        QFETCH(QString, renameTo);
        QFETCH(QStringList, items);
        IsolatedEnvironment env;
        WriteStores({"Photos", "Music"}, {});
        const std::string storeBefore = ReadFile(SetStoreFilePath());
        FakeSetEditor editor;
        editor.renameTo = renameTo.toStdString();
        QWidget dialog;
        SetChooser chooser(&dialog, &editor);
        chooser.SelectByName("music");
        chooser.propertyButton()->click();
        QCOMPARE(editor.editCount, 1);
        QCOMPARE(Items(chooser), items);
        QCOMPARE(chooser.itemData(chooser.currentIndex()).toInt(), 1);
        QVERIFY(chooser.SelectedSet() != nullptr);
        QCOMPARE(ReadFile(SetStoreFilePath()), storeBefore);
    }

    void PickFolderStartsAtAnExistingFolderOnly_data() {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("trailingSlash");
        QTest::newRow("existing") << true << false;
        QTest::newRow("existing with slash") << true << true;
        QTest::newRow("missing") << false << false;
    }
    void PickFolderStartsAtAnExistingFolderOnly() {
        QFETCH(bool, exists);
        QFETCH(bool, trailingSlash);
        QTemporaryDir dir;
        const QString folder = dir.path() + (exists ? "/here" : "/absent");
        if (exists) QVERIFY(QDir().mkpath(folder));
        FileDialogScript script;
        script.Answer(QString("/chosen"));
        std::string path = folder.toStdString() + (trailingSlash ? "/" : "");
        QVERIFY(PickFolder(nullptr, path));
        QCOMPARE(path, std::string("/chosen"));
        QCOMPARE(script.requests().size(), size_t(1));
        QCOMPARE(script.requests()[0].kind, FileDialogKind::Folder);
        QCOMPARE(script.requests()[0].startPath, exists ? folder : QString());
    }

    void PickFolderCancelledChangesNothing() {
        FileDialogScript script;
        script.Cancel();
        std::string path = "/kept";
        QVERIFY(!PickFolder(nullptr, path));
        QCOMPARE(path, std::string("/kept"));
    }
};

QTEST_MAIN(TestSetChooser)
#include "test_set_chooser.moc"
