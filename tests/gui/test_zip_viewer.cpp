// The zip viewer and the Extract Zip File dialog on archives built here by
// the program's own zip writer.
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>
#include <map>

#include "GuiTestSupport.h"
#include "model/StringTable.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "scan/ItemList.h"
#include "settings/Settings.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/MessageBoxes.h"
#include "ui/main/WindowLauncher.h"
#include "ui/zipview/ExtractDialog.h"
#include "ui/zipview/ZipEntryModel.h"
#include "ui/zipview/ZipViewer.h"
#include "zip/ZipArchiveWriter.h"

using namespace kivo;

namespace {

// 2024-02-29 12:34:56 UTC: an even second, which the format keeps exactly.
constexpr FileTime kStamp = (1709210096ULL + kEpochDifferenceSeconds) * kTicksPerSecond;

using Files = std::map<std::string, std::string>;

// Writes `files` under `root` and zips them into `archive`.
void MakeArchive(const std::string& root, const Files& files, const std::string& archive,
                 const std::string& password = {}) {
    ItemList items;
    for (const auto& [name, content] : files) {
        const std::string path = root + "/" + name;
        QVERIFY(MakeFolders(QFileInfo(QString::fromStdString(path)).path().toStdString()) == 0);
        test::WriteFile(path, content);
        QVERIFY(SetPathTimes(path, kStamp, kStamp));
        FindData data;
        QVERIFY(GetFindData(path, data));
        ItemRecord record;
        record.path = path;
        record.relativeStart = static_cast<std::uint32_t>(root.size() + 1);
        record.size = data.size;
        record.lastWriteTime = data.lastWriteTime;
        record.lastAccessTime = data.lastAccessTime;
        record.creationTime = data.creationTime;
        QVERIFY(items.Add(record));
    }
    zip::ZipArchiveWriter writer;
    QVERIFY(writer.Build(items, password.data(), password.size(), archive, nullptr) != 0);
}

// Every file below `folder`, by relative path, with its content.
Files FilesBelow(const QString& folder) {
    Files found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        found[QDir(folder).relativeFilePath(path).toStdString()] = test::ReadFile(path.toStdString());
    }
    return found;
}

QStringList ListNames(const ZipViewer& viewer) {
    QStringList names;
    for (int row = 0; row < viewer.entries()->rowCount(); ++row) {
        names << QString::fromStdString(viewer.entries()->entryAt(row)->displayName);
    }
    return names;
}

void SelectInList(ZipViewer& viewer, const QString& name) {
    const int row = ListNames(viewer).indexOf(name);
    QVERIFY2(row >= 0, qPrintable(name));
    viewer.list()->selectionModel()->select(
        viewer.entries()->index(row, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

ExtractDialog* OpenedExtractDialog(ZipViewer& viewer) {
    return viewer.findChild<ExtractDialog*>();
}

// Starts the dialog on `target` and waits for the run's end, after which
// the dialog is idle or, when it closed, gone.
void RunExtract(ExtractDialog* dialog, const QString& target) {
    QVERIFY(dialog != nullptr);
    QVERIFY(dialog->isVisible());
    dialog->targetEdit()->setText(target);
    QPointer<ExtractDialog> guard(dialog);
    dialog->Start();
    QVERIFY(!dialog->idle());
    QTRY_VERIFY(guard == nullptr || guard->idle());
}

class RecordingOpener : public zip::FolderOpener {
public:
    std::vector<std::string> opened;
    void Open(const std::string& folder) override { opened.push_back(folder); }
};

const Files kFolderArchive = {
    {"Docs/a.txt", "alpha"}, {"Docs/sub/b.txt", "bravo"}, {"readme.txt", "read me"}};

}  // namespace

class TestZipViewer : public QObject {
    Q_OBJECT

    test::IsolatedEnvironment* env_ = nullptr;
    QTemporaryDir* dir_ = nullptr;

    std::string Path(const char* name) const { return (dir_->path() + "/" + name).toStdString(); }

    // A shown viewer with the folder archive loaded.
    std::unique_ptr<ZipViewer> FolderViewer() {
        MakeArchive(Path("src"), kFolderArchive, Path("docs.zip"));
        auto viewer = std::make_unique<ZipViewer>(DefaultDialogLauncher(), nullptr, Path("docs.zip"));
        viewer->show();
        if (!QTest::qWaitFor([&] { return viewer->tree()->topLevelItemCount() == 1; })) {
            return nullptr;
        }
        return viewer;
    }

private slots:
    void init() {
        env_ = new test::IsolatedEnvironment;
        dir_ = new QTemporaryDir;
    }
    void cleanup() {
        delete dir_;
        delete env_;
    }

    void cancellingTheChooserClosesTheViewer() {
        PutSetting("zipfilepath2", "/somewhere/last.zip");
        FileDialogScript files;
        files.Cancel();
        ZipViewer viewer(DefaultDialogLauncher());
        viewer.show();
        QTRY_VERIFY(!viewer.isVisible());
        QCOMPARE(files.requests().size(), std::size_t{1});
        QCOMPARE(files.requests()[0].startPath, QString("/somewhere/last.zip"));
        QCOMPARE(files.requests()[0].filter, QString("Zip Files (*.zip)"));
    }

    void archiveWithoutFoldersShowsAWideListAndNoTree() {
        MakeArchive(Path("src"), {{"one.txt", "1"}, {"two.txt", "22"}}, Path("flat.zip"));
        FileDialogScript files;
        files.Answer(QString::fromStdString(Path("flat.zip")));
        ZipViewer viewer(DefaultDialogLauncher());
        viewer.show();
        QTRY_COMPARE(ListNames(viewer), (QStringList{"one.txt", "two.txt"}));
        QVERIFY(viewer.isVisible());
        QCOMPARE(GetSetting("zipfilepath2"), Path("flat.zip"));
        QVERIFY(viewer.tree()->isHidden());
        QTRY_VERIFY(viewer.list()->width() > viewer.width() * 3 / 4);
        // The name column takes what the other three leave.
        viewer.resize(800, 500);
        QTRY_COMPARE(viewer.list()->columnWidth(ZipEntryModel::ColName),
                     viewer.list()->viewport()->width() - 320);
    }

    void foldersShowUnderTheArchiveItemAndExtractAllWritesEverything() {
        auto viewer = FolderViewer();
        QVERIFY(viewer);
        QTreeWidgetItem* top = viewer->tree()->topLevelItem(0);
        QCOMPARE(top->text(0), QString("docs.zip"));
        QVERIFY(top->isSelected());
        QCOMPARE(top->childCount(), 1);
        QTreeWidgetItem* docs = top->child(0);
        QCOMPARE(docs->text(0), QString("Docs"));
        docs->setExpanded(true);
        QCOMPARE(docs->childCount(), 1);
        QCOMPARE(docs->child(0)->text(0), QString("sub"));
        docs->child(0)->setExpanded(true);
        QCOMPARE(docs->child(0)->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
        QCOMPARE(ListNames(*viewer), (QStringList{"Docs", "readme.txt"}));

        // The stored time is the file's last write, shown in local time.
        const QString expected = QDateTime::fromSecsSinceEpoch(1709210096)
                                     .toLocalTime()
                                     .toString("yyyy-MM-dd HH:mm:ss");
        QCOMPARE(viewer->entries()->index(1, ZipEntryModel::ColTime).data().toString(), expected);

        viewer->button("Extract All...")->click();
        const QString target = dir_->path() + "/out";
        RunExtract(OpenedExtractDialog(*viewer), target);
        QTRY_VERIFY(OpenedExtractDialog(*viewer) == nullptr);
        QCOMPARE(FilesBelow(target), kFolderArchive);
    }

    void extractSelectedIsRelativeToTheFolderShown_data() {
        QTest::addColumn<QString>("folder");  // tree item under the archive item; empty: the archive
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("written");
        QTest::newRow("folder in Docs") << "Docs" << "sub" << QStringList{"sub/b.txt"};
        QTest::newRow("file in Docs") << "Docs" << "a.txt" << QStringList{"a.txt"};
        QTest::newRow("folder at the top") << "" << "Docs"
                                           << QStringList{"Docs/a.txt", "Docs/sub/b.txt"};
    }
    void extractSelectedIsRelativeToTheFolderShown() {
        QFETCH(QString, folder);
        QFETCH(QString, chosen);
        QFETCH(QStringList, written);
        auto viewer = FolderViewer();
        QVERIFY(viewer);
        if (!folder.isEmpty()) viewer->tree()->setCurrentItem(viewer->tree()->topLevelItem(0)->child(0));
        QCOMPARE(QString::fromStdString(viewer->currentFolder()), folder);
        SelectInList(*viewer, chosen);
        QVERIFY(viewer->button("Extract Seleted...")->isEnabled());
        viewer->button("Extract Seleted...")->click();
        const QString target = dir_->path() + "/out";
        RunExtract(OpenedExtractDialog(*viewer), target);
        QStringList found;
        for (const auto& [name, content] : FilesBelow(target)) found << QString::fromStdString(name);
        QCOMPARE(found, written);
    }

    void doubleClickOnAFolderOpensItInTheTree() {
        auto viewer = FolderViewer();
        QVERIFY(viewer);
        emit viewer->list()->doubleClicked(viewer->entries()->index(0, 0));
        QCOMPARE(viewer->currentFolder(), std::string("Docs"));
        QCOMPARE(ListNames(*viewer), (QStringList{"sub", "a.txt"}));
    }

    void sortingKeepsFoldersFirstAndTheSecondClickReverses() {
        MakeArchive(Path("src"),
                    {{"Top/f1/x", "x"}, {"Top/f2/y", "y"}, {"Top/small.txt", "1"},
                     {"Top/big.txt", std::string(300, 'b')}, {"Top/mid.txt", "1234567890"}},
                    Path("sizes.zip"));
        ZipViewer viewer(DefaultDialogLauncher(), nullptr, Path("sizes.zip"));
        viewer.show();
        QTRY_COMPARE(viewer.tree()->topLevelItemCount(), 1);
        viewer.tree()->setCurrentItem(viewer.tree()->topLevelItem(0)->child(0));
        QHeaderView* header = viewer.list()->header();
        emit header->sectionClicked(ZipEntryModel::ColSize);
        QCOMPARE(ListNames(viewer), (QStringList{"f1", "f2", "small.txt", "mid.txt", "big.txt"}));
        emit header->sectionClicked(ZipEntryModel::ColSize);
        QCOMPARE(ListNames(viewer), (QStringList{"f1", "f2", "big.txt", "mid.txt", "small.txt"}));
        // The direction is shared: a third click on Name sorts ascending again.
        emit header->sectionClicked(ZipEntryModel::ColName);
        QCOMPARE(ListNames(viewer), (QStringList{"f1", "f2", "big.txt", "mid.txt", "small.txt"}));
        emit header->sectionClicked(ZipEntryModel::ColName);
        QCOMPARE(ListNames(viewer), (QStringList{"f2", "f1", "small.txt", "mid.txt", "big.txt"}));
    }

    void aDamagedArchiveLeavesTheViewerEmpty() {
        MakeArchive(Path("src"), {{"one.txt", "1"}}, Path("good.zip"));
        std::string bytes = test::ReadFile(Path("good.zip"));
        bytes.resize(bytes.size() - 10);  // the end record is cut
        test::WriteFile(Path("bad.zip"), bytes);
        MessageScript messages;
        ZipViewer viewer(DefaultDialogLauncher());
        viewer.Load(Path("bad.zip"));
        QCOMPARE(messages.shown().size(), std::size_t{1});
        QCOMPARE(messages.shown()[0].icon, MessageIcon::Information);
        QCOMPARE(messages.shown()[0].text, QString("Sorry. I can not open or parse this zip file."));
        QCOMPARE(viewer.tree()->topLevelItemCount(), 0);
        QCOMPARE(viewer.entries()->rowCount(), 0);
        QVERIFY(!viewer.button("Select All")->isEnabled());
    }

    void aFailedRunResumesFromTheFailedEntry() {
        // b.txt is encrypted, a.txt (appended after it) is not; sorted by
        // name, a.txt is extracted first and b.txt then fails.
        MakeArchive(Path("src"), {{"b.txt", "secret"}}, Path("mixed.zip"), "pw");
        QProcess python;
        python.start("python3", {"-c",
                                 "import sys, zipfile\n"
                                 "with zipfile.ZipFile(sys.argv[1], 'a') as z:\n"
                                 "    z.writestr('a.txt', 'plain')\n",
                                 QString::fromStdString(Path("mixed.zip"))});
        QVERIFY(python.waitForFinished(20000));
        QCOMPARE(python.exitCode(), 0);

        ZipViewer viewer(DefaultDialogLauncher(), nullptr, Path("mixed.zip"));
        viewer.show();
        QTRY_COMPARE(viewer.entries()->rowCount(), 2);
        emit viewer.list()->header()->sectionClicked(ZipEntryModel::ColName);
        viewer.button("Select All")->click();
        viewer.button("Extract Seleted...")->click();
        ExtractDialog* dialog = OpenedExtractDialog(viewer);
        const QString target = dir_->path() + "/out";
        MessageScript messages;
        dialog->passwordEdit()->setText("wrong");
        RunExtract(dialog, target);
        QCOMPARE(messages.shown().size(), std::size_t{1});
        QCOMPARE(messages.shown()[0].icon, MessageIcon::Information);
        // A wrong password passes the one-byte check now and then and is
        // caught by the CRC instead; either way b.txt failed.
        const QString text = messages.shown()[0].text;
        QVERIFY2(text.startsWith("A error occured while extracting \"b.txt\":\n\n    "), qPrintable(text));
        QVERIFY(text.endsWith("\n\nClick [Start] to retry, or click [Cancel] to close."));
        QVERIFY(dialog->isVisible());
        QTRY_VERIFY(dialog->button(ID_START)->isEnabled());
        QCOMPARE(FilesBelow(target), (Files{{"a.txt", "plain"}}));

        // A change made since shows that a.txt is not written again.
        test::WriteFile((target + "/a.txt").toStdString(), "changed");
        dialog->passwordEdit()->setText("  pw  ");
        dialog->Start();
        QTRY_VERIFY(OpenedExtractDialog(viewer) == nullptr);
        QCOMPARE(FilesBelow(target), (Files{{"a.txt", "changed"}, {"b.txt", "secret"}}));
    }

    void startStoresTheOptionsSkipsExistingFilesAndOpensTheTarget() {
        auto viewer = FolderViewer();
        QVERIFY(viewer);
        const QString target = dir_->path() + "/out";
        QCOMPARE(MakeFolders(target.toStdString()), 0);
        test::WriteFile((target + "/readme.txt").toStdString(), "mine");
        viewer->button("Extract All...")->click();
        ExtractDialog* dialog = OpenedExtractDialog(*viewer);
        RecordingOpener opener;
        dialog->SetFolderOpener(&opener);
        dialog->targetEdit()->setText("   ");
        QTRY_VERIFY(!dialog->button(ID_START)->isEnabled());
        dialog->skipExisting()->setChecked(true);
        dialog->openFolder()->setChecked(true);
        RunExtract(dialog, "  " + target + "  ");
        QTRY_VERIFY(OpenedExtractDialog(*viewer) == nullptr);
        QCOMPARE(GetSetting("unziptgtdir"), target.toStdString());
        QCOMPARE(GetSettingInt("unzipskipexist", 0), 1);
        QCOMPARE(GetSettingInt("unziprunexplorer", 0), 1);
        QCOMPARE(opener.opened, std::vector<std::string>{target.toStdString()});
        Files expected = kFolderArchive;
        expected["readme.txt"] = "mine";
        QCOMPARE(FilesBelow(target), expected);
    }

    void aTargetThatCannotBeCreatedKeepsTheDialogIdle() {
        auto viewer = FolderViewer();
        QVERIFY(viewer);
        test::WriteFile(Path("file"), "x");
        viewer->button("Extract All...")->click();
        ExtractDialog* dialog = OpenedExtractDialog(*viewer);
        MessageScript messages;
        dialog->targetEdit()->setText(QString::fromStdString(Path("file") + "/out"));
        dialog->Start();
        QCOMPARE(messages.shown().size(), std::size_t{1});
        QCOMPARE(messages.shown()[0].icon, MessageIcon::Exclamation);
        QVERIFY(messages.shown()[0].text.startsWith("Can not create folder:\n"));
        QVERIFY(dialog->idle());
        QVERIFY(dialog->isVisible());
        QCOMPARE(GetSetting("unziptgtdir"), std::string());
    }
};

QTEST_MAIN(TestZipViewer)
#include "test_zip_viewer.moc"
