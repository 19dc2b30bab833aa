// The set editor and Add Folders driven through their real widgets; nested
// dialogs are opened without a modal loop and answered in place, file
// choosers through FileDialogScript.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "GuiTestSupport.h"
#include "model/SetList.h"
#include "settings/Settings.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/MessageBoxes.h"
#include "ui/sets/AddFoldersDialog.h"
#include "ui/sets/AddFoldersTemplate.h"
#include "ui/sets/FilterBuilderDialog.h"
#include "ui/sets/FilterBuilderTemplate.h"
#include "ui/sets/FolderTree.h"
#include "ui/sets/SetEditorDialog.h"
#include "ui/sets/SetEditorTemplate.h"
#include "ui/sets/SubFolderList.h"

using namespace kivo;
using namespace kivo::test;

namespace {

// A scratch folder tree, paths as the program keeps them.
class Scratch {
public:
    std::string path(const QString& relative = QString()) const {
        return QFile::encodeName(relative.isEmpty() ? dir_.path() : dir_.filePath(relative)).toStdString();
    }
    std::string Folder(const QString& relative) const {
        QDir().mkpath(dir_.filePath(relative));
        return path(relative);
    }
    std::string File(const QString& relative, int size = 1) const {
        QFile file(dir_.filePath(relative));
        if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write test file");
        file.write(QByteArray(size, 'x'));
        return path(relative);
    }

private:
    QTemporaryDir dir_;
};

void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

void Settle() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

void ClickRow(QTreeWidget* list, QTreeWidgetItem* item, Qt::KeyboardModifiers modifiers) {
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualItemRect(item).center());
}

// Ctrl+clicks the sub-folder rows with these names.
void ChooseSubFolders(SubFolderList* list, const QStringList& names) {
    for (const QString& name : names) {
        const QList<QTreeWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
        QVERIFY2(found.size() == 1, qPrintable(name));
        ClickRow(list, found.front(), Qt::ControlModifier);
    }
}

QStringList Column(const QTreeWidget* list, int column) {
    QStringList texts;
    for (int row = 0; row < list->topLevelItemCount(); ++row) texts << list->topLevelItem(row)->text(column);
    return texts;
}

// The "Add Folders" dialog the editor opened with `button`.
AddFoldersDialog* OpenAddFolders(SetEditorDialog& editor, int button) {
    Click(editor.button(button));
    Settle();
    return editor.addFoldersDialog();
}

std::unique_ptr<SetEntry> Entry(const std::string& path, std::vector<std::string> patterns = {},
                                int includeSubfolders = 1, int filterMode = 1) {
    auto entry = std::make_unique<SetEntry>();
    entry->path = path;
    entry->patterns = std::move(patterns);
    entry->includeSubfolders = includeSubfolders;
    entry->filterMode = filterMode;
    return entry;
}

struct EntryFields {
    std::string path;
    std::vector<std::string> patterns;
    int includeSubfolders, filterMode;
    bool operator==(const EntryFields&) const = default;
};

std::vector<EntryFields> Fields(const std::vector<std::unique_ptr<SetEntry>>& entries) {
    std::vector<EntryFields> out;
    for (const auto& e : entries) out.push_back({e->path, e->patterns, e->includeSubfolders, e->filterMode});
    return out;
}

}  // namespace

namespace QTest {
template <>
char* toString(const std::vector<EntryFields>& entries) {
    QString text;
    for (const EntryFields& e : entries) {
        text += QStringLiteral("[%1 {").arg(QString::fromStdString(e.path));
        for (const std::string& p : e.patterns) text += QString::fromStdString(p) + ' ';
        text += QStringLiteral("} sub=%1 mode=%2] ").arg(e.includeSubfolders).arg(e.filterMode);
    }
    return qstrdup(text.toUtf8().constData());
}
}  // namespace QTest

class SetEditorTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QDir().mkpath(QDir::homePath()); }

    void newSetNeedsAnEntryAndOneFileReadsIndividualFile() {
        IsolatedEnvironment env;
        Scratch scratch;
        const std::string file = scratch.File("notes.txt");
        SetEditorDialog editor(nullptr, {}, true, QString());
        editor.show();
        QTest::keyClicks(editor.nameBox(), "Docs");
        Settle();
        QVERIFY(!editor.button(set_editor::ID_OK)->isEnabled());

        FileDialogScript files;
        files.Answer(QStringList{QFile::decodeName(QByteArray::fromStdString(file))});
        Click(editor.button(set_editor::ID_ADD_FILES));
        Settle();
        QCOMPARE(files.requests().size(), std::size_t(1));
        QCOMPARE(files.requests().front().kind, FileDialogKind::OpenFiles);
        QCOMPARE(Column(editor.entryList(), 1), QStringList{"Individual File"});
        QVERIFY(editor.button(set_editor::ID_OK)->isEnabled());

        Click(editor.button(set_editor::ID_OK));
        QCOMPARE(editor.result(), int(QDialog::Accepted));
        FileSet set;
        editor.ApplyTo(set);
        QCOMPARE(set.name, std::string("Docs"));
        QCOMPARE(Fields(set.entries), (std::vector<EntryFields>{{file, {}, 1, 1}}));
    }

    void nameTest_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("why");  // the grey OK's tooltip
        const QString photos = "A set named \"Photos\" already exists.";
        QTest::newRow("other letter case") << "PHOTOS" << false << "" << photos;
        QTest::newRow("same name with blanks") << "  Photos " << false << "" << photos;
        QTest::newRow("blanks only") << "   " << false << "" << "";
        QTest::newRow("new name with blanks") << "  Trip 2024  " << true << "Trip 2024" << "";
        // Every letter folds, not only ASCII: "ÉTÉ" is the set "été".
        QTest::newRow("non-ASCII letters") << QString::fromUtf8("\xC3\x89T\xC3\x89") << false
                                           << "" << QString::fromUtf8("A set named \"\xC3\xA9t\xC3\xA9\" already exists.");
    }

    void nameTest() {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QFETCH(QString, stored);
        QFETCH(QString, why);
        IsolatedEnvironment env;
        FileSet set;
        set.name = "Old";
        set.entries.push_back(Entry("/data/a"));
        SetEditorDialog editor(&set, {"Photos", "\xC3\xA9t\xC3\xA9"}, true, QString());
        editor.show();
        editor.nameBox()->selectAll();
        editor.nameBox()->insert(typed);  // as typed, letters outside ASCII too
        Settle();
        QCOMPARE(editor.button(set_editor::ID_OK)->isEnabled(), accepted);
        QCOMPARE(editor.button(set_editor::ID_OK)->toolTip(), why);
        Click(editor.button(set_editor::ID_OK));
        QCOMPARE(editor.result() == QDialog::Accepted, accepted);
        if (accepted) {
            editor.ApplyTo(set);
            QCOMPARE(QString::fromStdString(set.name), stored);
        }
    }

    void nameBoxTakes24CharactersButKeepsALongerStoredName() {
        IsolatedEnvironment env;
        SetEditorDialog blank(nullptr, {}, true, QString());
        QTest::keyClicks(blank.nameBox(), QString(30, 'n'));
        QCOMPARE(blank.nameBox()->text(), QString(24, 'n'));

        FileSet set;
        set.name = std::string(30, 'L');
        set.entries.push_back(Entry("/data/a"));
        SetEditorDialog editor(&set, {}, true, QString());
        editor.show();
        Settle();
        Click(editor.button(set_editor::ID_OK));
        editor.ApplyTo(set);
        QCOMPARE(set.name, std::string(30, 'L'));
    }

    void fixedNameIsReadOnlyAndNotTestedAgainstOtherNames() {
        IsolatedEnvironment env;
        Scratch scratch;
        const std::string file = scratch.File("a.bin");
        SetEditorDialog editor(nullptr, {"untitled kivo 1"}, false, "Untitled Kivo 1");
        editor.show();
        QVERIFY(editor.nameBox()->isReadOnly());
        QTest::keyClicks(editor.nameBox(), "x");
        FileDialogScript files;
        files.Answer(QFile::decodeName(QByteArray::fromStdString(file)));
        Click(editor.button(set_editor::ID_ADD_FILES));
        Settle();
        QVERIFY(editor.button(set_editor::ID_OK)->isEnabled());
        Click(editor.button(set_editor::ID_OK));
        FileSet set;
        editor.ApplyTo(set);
        QCOMPARE(set.name, std::string("Untitled Kivo 1"));
    }

    void chosenSubFoldersBecomeEntriesWithTheSameOptions() {
        IsolatedEnvironment env;
        Scratch scratch;
        for (const char* name : {"a", "b", "c", ".hidden"}) scratch.Folder(name);
        scratch.File("plain-file");
        PutSetting("lastfolder", scratch.path());
        SetEditorDialog editor(nullptr, {}, true, "Web");
        editor.show();

        AddFoldersDialog* dialog = OpenAddFolders(editor, set_editor::ID_ADD_FOLDERS);
        QVERIFY(dialog != nullptr && dialog->isVisible());
        QCOMPARE(dialog->folderTree()->SelectedFolder(), scratch.path());
        QStringList shown = Column(dialog->subFolderList(), 0);
        shown.sort();
        QCOMPARE(shown, QStringList({"a", "b", "c"}));
        ChooseSubFolders(dialog->subFolderList(), {"c", "a", "b"});
        QTest::mouseClick(dialog->filterTypeButton(add_folders::FILTER_EXCLUDE), Qt::LeftButton);
        Settle();
        QTest::keyClicks(dialog->filterBox(), "*.tmp");
        Settle();
        // Row order of the sub-folder list, not the order of the clicks.
        std::vector<EntryFields> expected;
        for (const QString& name : Column(dialog->subFolderList(), 0)) {
            expected.push_back({scratch.path(name), {"*.tmp"}, 1, 1});
        }
        Click(dialog->button(add_folders::ID_OK));
        Settle();
        QVERIFY(editor.addFoldersDialog() == nullptr);
        QCOMPARE(Fields(editor.entryCopies()), expected);
        QCOMPARE(GetSettingInt("filtertype", -1), int(add_folders::FILTER_EXCLUDE));

        // Nothing chosen in the list: the tree's folder itself, and the
        // remembered filter type.
        dialog = OpenAddFolders(editor, set_editor::ID_ADD_FOLDERS);
        QVERIFY(dialog->filterTypeButton(add_folders::FILTER_EXCLUDE)->isChecked());
        QVERIFY(dialog->filterBox()->toPlainText().isEmpty());
        QTest::mouseClick(dialog->filterTypeButton(add_folders::FILTER_ALL), Qt::LeftButton);
        Settle();
        Click(dialog->button(add_folders::ID_OK));
        Settle();
        QCOMPARE(editor.entryCopies().size(), std::size_t(4));
        QCOMPARE(Fields(editor.entryCopies()).back(), (EntryFields{scratch.path(), {}, 1, 1}));
    }

    void editingAFolderEntryReplacesItAndInsertsTheOthersAfterIt() {
        IsolatedEnvironment env;
        Scratch scratch;
        scratch.Folder("x");
        scratch.Folder("y");
        const std::string first = scratch.File("first.txt");
        const std::string last = scratch.File("last.txt");
        FileSet set;
        set.name = "S";
        set.entries.push_back(Entry(first));
        set.entries.push_back(Entry(scratch.path(), {"*.html", "*.gif"}, 0, 0));
        set.entries.push_back(Entry(last));
        SetEditorDialog editor(&set, {}, true, QString());
        editor.show();
        ClickRow(editor.entryList(), editor.entryList()->topLevelItem(1), Qt::NoModifier);
        Settle();

        AddFoldersDialog* dialog = OpenAddFolders(editor, set_editor::ID_PROPERTY);
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->folderTree()->SelectedFolder(), scratch.path());
        QVERIFY(dialog->filterTypeButton(add_folders::FILTER_INCLUDE)->isChecked());
        QCOMPARE(dialog->filterBox()->toPlainText(), QString("*.html; *.gif"));
        ChooseSubFolders(dialog->subFolderList(), {"x", "y"});
        Settle();
        const std::vector<std::string> chosen = dialog->subFolderList()->SelectedPaths();
        QCOMPARE(chosen.size(), std::size_t(2));
        Click(dialog->button(add_folders::ID_OK));
        Settle();

        const std::vector<std::string> patterns{"*.html", "*.gif"};
        QCOMPARE(Fields(editor.entryCopies()),
                 (std::vector<EntryFields>{{first, {}, 1, 1},
                                           {chosen[0], patterns, 0, 0},
                                           {chosen[1], patterns, 0, 0},
                                           {last, {}, 1, 1}}));
        QCOMPARE(editor.entryList()->topLevelItem(2)->text(0),
                 QFile::decodeName(QByteArray::fromStdString(chosen[1])));
        QCOMPARE(editor.entryList()->topLevelItem(2)->text(1), QString("Includ Only: *.html; *.gif"));
        // The set itself is untouched until OK.
        QCOMPARE(set.entries.size(), std::size_t(3));
    }

    // Two long paths that share their start stay apart in the narrow Path
    // column, and each shows whole on hovering.
    void longPathsKeepTheirEndsAndShowWholeAsTooltip() {
        IsolatedEnvironment env;
        const std::string stem = "/data/" + std::string(120, 'x') + "/projects/";
        FileSet set;
        set.name = "Long";
        set.entries.push_back(Entry(stem + "alpha"));
        set.entries.push_back(Entry(stem + "beta"));
        SetEditorDialog editor(&set, {}, true, QString());
        editor.show();
        Settle();
        QTreeWidget* list = editor.entryList();
        QStringList drawn;
        for (int row = 0; row < 2; ++row) {
            const QTreeWidgetItem* item = list->topLevelItem(row);
            QCOMPARE(item->toolTip(0), item->text(0));
            QVERIFY(item->text(0).endsWith(row == 0 ? "alpha" : "beta"));
            drawn << QFontMetrics(list->font()).elidedText(item->text(0), list->textElideMode(),
                                                           list->columnWidth(0));
        }
        QVERIFY2(drawn[0] != drawn[1], qPrintable(drawn.join(" | ")));
        QVERIFY(drawn[0].size() < list->topLevelItem(0)->text(0).size());
    }

    void propertyOfAFileChoosesAnotherAndOfAMissingPathDoesNothing() {
        IsolatedEnvironment env;
        Scratch scratch;
        const std::string before = scratch.File("before.txt");
        const std::string after = scratch.File("after.txt");
        const std::string missing = scratch.path("gone");
        FileSet set;
        set.entries.push_back(Entry(before));
        set.entries.push_back(Entry(missing));
        SetEditorDialog editor(&set, {}, true, "S");
        editor.show();
        QTreeWidget* list = editor.entryList();
        QCOMPARE(Column(list, 1), QStringList({"Individual File", ""}));

        FileDialogScript files;
        files.Answer(QFile::decodeName(QByteArray::fromStdString(after)));
        const QPoint first = list->visualItemRect(list->topLevelItem(0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, first);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, first);
        Settle();
        QCOMPARE(files.requests().size(), std::size_t(1));
        QCOMPARE(files.requests()[0].kind, FileDialogKind::OpenFile);
        QCOMPARE(files.requests()[0].startPath, QFile::decodeName(QByteArray::fromStdString(before)));
        QCOMPARE(editor.entryCopies()[0]->path, after);
        QCOMPARE(list->topLevelItem(0)->text(0), QFile::decodeName(QByteArray::fromStdString(after)));

        ClickRow(list, list->topLevelItem(1), Qt::NoModifier);
        Settle();
        Click(editor.button(set_editor::ID_PROPERTY));
        Settle();
        QCOMPARE(files.requests().size(), std::size_t(1));
        QVERIFY(editor.addFoldersDialog() == nullptr);
        QCOMPARE(editor.entryCopies()[1]->path, missing);
    }

    void filterTypes_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("okEnabled");
        QTest::addColumn<QStringList>("patterns");
        QTest::addColumn<int>("filterMode");
        QTest::addColumn<QString>("why");  // the grey OK's tooltip
        QTest::newRow("commas, line break, double semicolon")
            << int(add_folders::FILTER_INCLUDE) << "*.txt,*.doc\n*.xls;;" << true
            << QStringList{"*.txt", "*.doc", "*.xls"} << 0 << "";
        QTest::newRow("include with an empty box") << int(add_folders::FILTER_INCLUDE) << "" << false
                                                   << QStringList{} << 0
                                                   << "Enter the patterns for \"Include Listed Files Only\".";
        QTest::newRow("exclude with separators only") << int(add_folders::FILTER_EXCLUDE) << " ; ,\n"
                                                      << false << QStringList{} << 1
                                                      << "Enter the patterns for \"Exclude Listed Files\".";
        QTest::newRow("all files drops the text") << int(add_folders::FILTER_ALL) << "*.txt" << true
                                                  << QStringList{} << 1 << "";
    }

    void filterTypes() {
        QFETCH(int, type);
        QFETCH(QString, text);
        QFETCH(bool, okEnabled);
        QFETCH(QStringList, patterns);
        QFETCH(int, filterMode);
        QFETCH(QString, why);
        IsolatedEnvironment env;
        Scratch scratch;
        AddFoldersDialog dialog(FolderOptions{scratch.path(), 1, {}, 1});
        dialog.show();
        // Typed while the box is writable, then the type is chosen.
        QTest::mouseClick(dialog.filterTypeButton(add_folders::FILTER_INCLUDE), Qt::LeftButton);
        Settle();
        dialog.filterBox()->insertPlainText(text);
        QTest::mouseClick(dialog.filterTypeButton(type), Qt::LeftButton);
        Settle();
        QCOMPARE(dialog.filterBox()->isReadOnly(), type == add_folders::FILTER_ALL);
        QCOMPARE(dialog.button(add_folders::ID_OK)->isEnabled(), okEnabled);
        QCOMPARE(dialog.button(add_folders::ID_OK)->toolTip(), why);
        QCOMPARE(dialog.button(add_folders::ID_SCAN_TYPES)->isEnabled(), type != add_folders::FILTER_ALL);
        if (!okEnabled) return;
        Click(dialog.button(add_folders::ID_OK));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QStringList got;
        for (const std::string& p : dialog.patterns()) got << QString::fromStdString(p);
        QCOMPARE(got, patterns);
        QCOMPARE(dialog.filterMode(), filterMode);
        QCOMPARE(dialog.folders(), std::vector<std::string>{scratch.path()});
        QCOMPARE(GetSettingInt("filtertype", -1), type);
    }

    void startingFolderAndLastFolder_data() {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("lastFolder");
        QTest::addColumn<QString>("selected");  // "~" for the home folder
        QTest::newRow("given folder, exact case") << "data" << "Data" << "data";
        QTest::newRow("other case given") << "Data" << "data" << "Data";
        QTest::newRow("last folder when none given") << "" << "Data" << "Data";
        QTest::newRow("missing folder falls back to home") << "" << "missing" << "~";
        QTest::newRow("nothing stored falls back to home") << "" << "" << "~";
        QTest::newRow("a file is no folder") << "file" << "" << "~";
    }

    void startingFolderAndLastFolder() {
        QFETCH(QString, given);
        QFETCH(QString, lastFolder);
        QFETCH(QString, selected);
        IsolatedEnvironment env;
        Scratch scratch;
        scratch.Folder("data/inner");
        scratch.Folder("Data");
        scratch.File("file");
        auto full = [&](const QString& name) { return name.isEmpty() ? std::string() : scratch.path(name); };
        if (!lastFolder.isEmpty()) PutSetting("lastfolder", full(lastFolder));
        const std::string expected =
            selected == "~" ? QFile::encodeName(QDir::homePath()).toStdString() : full(selected);

        AddFoldersDialog dialog(FolderOptions{full(given), 1, {}, 1});
        dialog.show();
        Settle();
        QCOMPARE(dialog.folderTree()->SelectedFolder(), expected);
        QCOMPARE(dialog.subFolderList()->folder(), expected);
        Click(dialog.button(add_folders::ID_CANCEL));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(GetSetting("lastfolder"), expected);
    }

    void aStartingFolderNotInTheTreeSelectsNothing() {
        IsolatedEnvironment env;
        Scratch scratch;
        scratch.Folder("sub");
        PutSetting("lastfolder", scratch.path());
        // An existing folder, but ".." names no folder of the tree.
        AddFoldersDialog dialog(FolderOptions{scratch.path("sub/.."), 1, {}, 1});
        dialog.show();
        Settle();
        QCOMPARE(dialog.folderTree()->SelectedFolder(), std::string());
        QCOMPARE(dialog.subFolderList()->topLevelItemCount(), 0);
        QVERIFY(!dialog.button(add_folders::ID_OK)->isEnabled());
        Click(dialog.button(add_folders::ID_CANCEL));
        QCOMPARE(GetSetting("lastfolder"), scratch.path());
    }

    void collapsingDropsChildrenAndExpandingListsThemAgain() {
        IsolatedEnvironment env;
        Scratch scratch;
        scratch.Folder("top/B");
        scratch.Folder("top/a");
        scratch.Folder("top/.dot");
        AddFoldersDialog dialog(FolderOptions{scratch.path("top"), 1, {}, 1});
        dialog.show();
        FolderTree* tree = dialog.folderTree();
        QTreeWidgetItem* top = tree->currentItem();
        QVERIFY(top != nullptr);
        top->setExpanded(true);
        // Hidden folders are in the tree, sorted with letter case aside.
        QCOMPARE(top->childCount(), 3);
        QCOMPARE(top->child(0)->text(0), QString(".dot"));
        QCOMPARE(top->child(1)->text(0), QString("a"));
        QCOMPARE(top->child(2)->text(0), QString("B"));
        tree->setCurrentItem(top->child(1));
        top->setExpanded(false);
        QCOMPARE(top->childCount(), 0);
        QCOMPARE(tree->SelectedFolder(), scratch.path("top"));
        scratch.Folder("top/c");
        top->setExpanded(true);
        QCOMPARE(top->childCount(), 4);
    }

    void subFoldersSortIgnoringCaseAndTheHeaderReverses() {
        IsolatedEnvironment env;
        Scratch scratch;
        for (const char* name : {"d01", "d09", "b", "d11", "C", "a", "d00"}) scratch.Folder(name);
        AddFoldersDialog dialog(FolderOptions{scratch.path(), 1, {}, 1});
        dialog.show();
        SubFolderList* list = dialog.subFolderList();
        auto clickHeader = [list] {
            QTest::mouseClick(list->header()->viewport(), Qt::LeftButton, Qt::NoModifier,
                              QPoint(list->header()->sectionPosition(0) + 5, list->header()->height() / 2));
        };
        const QStringList sorted({"a", "b", "C", "d00", "d01", "d09", "d11"});
        QCOMPARE(Column(list, 0), sorted);
        clickHeader();
        QStringList reversed = sorted;
        std::reverse(reversed.begin(), reversed.end());
        QCOMPARE(Column(list, 0), reversed);
        clickHeader();
        QCOMPARE(Column(list, 0), sorted);
    }

    void scanFileTypesReplacesTheFilterText() {
        IsolatedEnvironment env;
        Scratch scratch;
        scratch.Folder("one");
        scratch.File("one/a.html");
        scratch.File("one/b.gif");
        scratch.File("top.zip");  // not in the chosen sub-folder
        scratch.Folder("one/deeper");
        scratch.File("one/deeper/c.txt");  // sub-folders are switched off
        AddFoldersDialog dialog(FolderOptions{scratch.path(), 1, {"*.old"}, 0});
        dialog.show();
        QTest::mouseClick(dialog.control(add_folders::ID_INCLUDE_SUBFOLDERS), Qt::LeftButton);
        ChooseSubFolders(dialog.subFolderList(), {"one"});
        Settle();
        Click(dialog.button(add_folders::ID_SCAN_TYPES));
        FilterBuilderDialog* builder = dialog.filterBuilder();
        QVERIFY(builder != nullptr);
        QSignalSpy finished(builder, &FilterBuilderDialog::surveyFinished);
        QVERIFY(finished.wait(5000));
        Click(builder->button(filter_builder::ID_CHECK_ALL));
        const QStringList extensions = Column(builder->typeList(), filter_builder::COL_EXT);
        Click(builder->button(filter_builder::ID_OK));
        Settle();
        QCOMPARE(extensions.size(), 2);
        QCOMPARE(dialog.filterBox()->toPlainText(),
                 QStringLiteral("*.%1; *.%2").arg(extensions[0], extensions[1]));
        QVERIFY(dialog.filterTypeButton(add_folders::FILTER_INCLUDE)->isChecked());
    }

    // A ".." after a link names the parent of the link's target, for the
    // set as for every other program; the root is no entry. One box tells
    // both, after the choice.
    void chosenPathsAreStoredAsTheKernelNamesThemAndTheRootIsRefused() {
        IsolatedEnvironment env;
        Scratch scratch;
        scratch.Folder("other/dir");
        scratch.Folder("other/victim");
        scratch.Folder("S");
        const std::string victim = scratch.File("other/victim/f.txt");
        const std::string plain = scratch.File("S/plain.txt");
        QVERIFY(QFile::link(QString::fromStdString(scratch.path("other/dir")),
                            QString::fromStdString(scratch.path("S/lnk"))));
        const std::string named = QFileInfo(QString::fromStdString(victim)).canonicalFilePath().toStdString();
        SetEditorDialog editor(nullptr, {}, true, "Kernel");
        editor.show();

        MessageScript boxes;
        FileDialogScript files;
        files.Answer(QStringList{QString::fromStdString(scratch.path("S/lnk/../victim/f.txt")),
                                 QStringLiteral("/"), QString::fromStdString(plain)});
        Click(editor.button(set_editor::ID_ADD_FILES));
        Settle();
        QCOMPARE(Fields(editor.entryCopies()),
                 (std::vector<EntryFields>{{named, {}, 1, 1}, {plain, {}, 1, 1}}));
        QCOMPARE(boxes.shown().size(), std::size_t(1));
        QCOMPARE(boxes.shown()[0].icon, MessageIcon::Information);
        QCOMPARE(boxes.shown()[0].text,
                 QString::fromStdString("Stored as: " + named +
                                        "\nThe whole file system cannot be a set entry."));

        // A path kept as chosen says nothing.
        files.Answer(QStringList{QString::fromStdString(plain)});
        Click(editor.button(set_editor::ID_ADD_FILES));
        Settle();
        QCOMPARE(boxes.shown().size(), std::size_t(1));
        QCOMPARE(editor.entryCopies().size(), std::size_t(3));

        // The folder tree's root chosen in Add Folders.
        PutSetting("lastfolder", "/");
        AddFoldersDialog* dialog = OpenAddFolders(editor, set_editor::ID_ADD_FOLDERS);
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->folderTree()->SelectedFolder(), std::string("/"));
        Click(dialog->button(add_folders::ID_OK));
        Settle();
        QCOMPARE(editor.entryCopies().size(), std::size_t(3));
        QCOMPARE(boxes.shown().size(), std::size_t(2));
        QCOMPARE(boxes.shown()[1].text, QStringLiteral("The whole file system cannot be a set entry."));
    }

    void cancelAfterAddingAndRemovingLeavesTheStoreAsItWas() {
        IsolatedEnvironment env;
        Scratch scratch;
        const std::string added = scratch.File("added.txt");
        SetList original;
        auto set = std::make_unique<FileSet>();
        set->name = "Keep";
        set->entries.push_back(Entry("/data/one", {"*.a", "*.b"}, 0, 0));
        set->entries.push_back(Entry("/data/two"));
        original.sets.push_back(std::move(set));
        original.sets.push_back(MakeSet("Other"));
        const std::string store = SetStoreFilePath();
        QDir().mkpath(QFileInfo(QString::fromStdString(store)).path());
        QVERIFY(original.Save(store));
        const std::string before = ReadFile(store);

        SetList loaded;
        QVERIFY(loaded.Load(store));
        SetEditorDialog editor(loaded.sets[0].get(), {"Other"}, true, QString());
        editor.show();
        FileDialogScript files;
        files.Answer(QFile::decodeName(QByteArray::fromStdString(added)));
        Click(editor.button(set_editor::ID_ADD_FILES));
        ClickRow(editor.entryList(), editor.entryList()->topLevelItem(0), Qt::NoModifier);
        Settle();
        Click(editor.button(set_editor::ID_REMOVE));
        editor.nameBox()->selectAll();
        QTest::keyClicks(editor.nameBox(), "Renamed");
        Settle();
        QCOMPARE(editor.entryCopies().size(), std::size_t(2));
        Click(editor.button(set_editor::ID_CANCEL));
        QCOMPARE(editor.result(), int(QDialog::Rejected));

        // The main window writes the store after the editor, whatever it
        // returned.
        QVERIFY(loaded.Save(store));
        QCOMPARE(ReadFile(store), before);
    }
};

QTEST_MAIN(SetEditorTest)
#include "test_set_editor.moc"
