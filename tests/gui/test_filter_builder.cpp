// The Filter Builder driven through its widgets: what the dialog adds to the
// survey (rows, checks, totals, sorting, the patterns it returns) and the
// survey's worker thread.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "scan/Format.h"
#include "ui/sets/FileTypeRow.h"
#include "ui/sets/FilterBuilderDialog.h"
#include "ui/sets/FilterBuilderTemplate.h"

using namespace kivo;
using namespace kivo::filter_builder;

namespace {

class Scratch {
public:
    std::string Folder(const QString& relative) const {
        QDir().mkpath(dir_.filePath(relative));
        return QFile::encodeName(dir_.filePath(relative)).toStdString();
    }
    void File(const QString& relative, int size) const {
        QFile file(dir_.filePath(relative));
        if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write test file");
        file.write(QByteArray(size, 'x'));
    }

private:
    QTemporaryDir dir_;
};

// Each folder is surveyed in the order given, so the first file of an
// extension is known although a folder's own listing order is not.
struct Surveyed {
    Scratch scratch;
    std::vector<std::string> folders;
    Surveyed() {
        folders.push_back(scratch.Folder("1"));
        scratch.File("1/a.TXT", 100);
        scratch.File("1/README", 7);
        folders.push_back(scratch.Folder("2"));
        scratch.File("2/b.txt", 200);
        scratch.File("2/d.Txt", 300);
        scratch.File("2/name.", 1);
        scratch.File("2/.profile", 2);
        scratch.File("2/x.gz", 5000);
        scratch.File("2/y.gz", 5000);
    }
};

bool Survey(FilterBuilderDialog& dialog) {
    QSignalSpy finished(&dialog, &FilterBuilderDialog::surveyFinished);
    dialog.show();
    return finished.wait(5000);
}

FileTypeRow* RowOf(QTreeWidget* list, const QString& extension) {
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        auto* row = static_cast<FileTypeRow*>(list->topLevelItem(i));
        if (row->text(COL_EXT) == extension) return row;
    }
    return nullptr;
}

QStringList Cells(const QTreeWidget* list, int column) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i) texts << list->topLevelItem(i)->text(column);
    return texts;
}

// Total files, checked files, total size, checked size; OK's state.
QStringList Totals(const FilterBuilderDialog& dialog) {
    return {dialog.valueLabel(ID_TOTAL_FILES)->text(), dialog.valueLabel(ID_CHECKED_FILES)->text(),
            dialog.valueLabel(ID_TOTAL_SIZE)->text(), dialog.valueLabel(ID_CHECKED_SIZE)->text(),
            dialog.button(ID_OK)->isEnabled() ? "OK on" : "OK off"};
}

void ToggleWithSpace(QTreeWidget* list, QTreeWidgetItem* row) {
    list->setFocus();
    list->setCurrentItem(row);
    QTest::keyClick(list, Qt::Key_Space);
}

void ClickHeader(QTreeWidget* list, int column) {
    QHeaderView* header = list->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(header->sectionViewportPosition(column) + 10, header->height() / 2));
}

}  // namespace

class FilterBuilderTest : public QObject {
    Q_OBJECT

private slots:
    void rowsTakeTheFirstFilesCaseAndReturnPatterns() {
        Surveyed tree;
        FilterBuilderDialog dialog(tree.folders, true);
        QVERIFY(Survey(dialog));
        QTreeWidget* list = dialog.typeList();
        QCOMPARE(list->topLevelItemCount(), 3);
        FileTypeRow* text = RowOf(list, "TXT");
        FileTypeRow* none = RowOf(list, "");
        QVERIFY(text != nullptr && none != nullptr);
        QCOMPARE(text->text(COL_COUNT), QString("3"));
        QCOMPARE(text->text(COL_SIZE), QString("600"));
        QCOMPARE(none->text(COL_COUNT), QString("3"));
        QCOMPARE(list->headerItem()->textAlignment(COL_SIZE) & Qt::AlignRight, int(Qt::AlignRight));

        ToggleWithSpace(list, none);
        ToggleWithSpace(list, text);
        Click(dialog.button(ID_OK));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        // Display order, whatever order the checks came in.
        const std::vector<std::string> expected =
            list->indexOfTopLevelItem(text) < list->indexOfTopLevelItem(none)
                ? std::vector<std::string>{"*.TXT", "*."}
                : std::vector<std::string>{"*.", "*.TXT"};
        QCOMPARE(dialog.patterns(), expected);
    }

    void typeNamesAreLookedUpOnlyForRowsShownOrSorted() {
        Scratch scratch;
        const std::string folder = scratch.Folder("many");
        for (int i = 0; i < 300; ++i) scratch.File(QStringLiteral("many/f.e%1").arg(i), 1);
        FilterBuilderDialog dialog({folder}, true);
        QVERIFY(Survey(dialog));
        QTreeWidget* list = dialog.typeList();
        QCoreApplication::processEvents();
        auto lookedUp = [list] {
            int count = 0;
            for (int i = 0; i < list->topLevelItemCount(); ++i) {
                count += static_cast<FileTypeRow*>(list->topLevelItem(i))->lookedUp() ? 1 : 0;
            }
            return count;
        };
        QCOMPARE(list->topLevelItemCount(), 300);
        const int shown = lookedUp();
        QVERIFY2(shown < 300, qPrintable(QString::number(shown)));
        ClickHeader(list, COL_TYPE);
        QCOMPARE(lookedUp(), 300);
    }

    void totalsAndOkFollowTheChecks() {
        Surveyed tree;
        FilterBuilderDialog dialog(tree.folders, true);
        QVERIFY(Survey(dialog));
        QTreeWidget* list = dialog.typeList();
        const QString all = QString::fromStdString(FormatSize(10610));
        QCOMPARE(Totals(dialog), QStringList({"8", "0", all, "0", "OK off"}));

        ToggleWithSpace(list, RowOf(list, "gz"));
        QCOMPARE(Totals(dialog), QStringList({"8", "2", all, QString::fromStdString(FormatSize(10000)), "OK on"}));
        Click(dialog.button(ID_REVERSE_CHECK));
        QCOMPARE(Totals(dialog), QStringList({"8", "6", all, "610", "OK on"}));
        ToggleWithSpace(list, RowOf(list, "TXT"));
        ToggleWithSpace(list, RowOf(list, ""));
        QCOMPARE(Totals(dialog), QStringList({"8", "0", all, "0", "OK off"}));
        Click(dialog.button(ID_CHECK_ALL));
        QCOMPARE(Totals(dialog), QStringList({"8", "8", all, all, "OK on"}));
    }

    void oneSortDirectionTogglesAcrossColumns() {
        Surveyed tree;
        FilterBuilderDialog dialog(tree.folders, true);
        QVERIFY(Survey(dialog));
        QTreeWidget* list = dialog.typeList();
        // Counts: TXT 3, "" 3, gz 2; sizes: TXT 600, "" 10, gz 10000.
        ClickHeader(list, COL_SIZE);
        QCOMPARE(Cells(list, COL_EXT), QStringList({"", "TXT", "gz"}));
        ClickHeader(list, COL_SIZE);
        QCOMPARE(Cells(list, COL_EXT), QStringList({"gz", "TXT", ""}));
        ClickHeader(list, COL_EXT);  // ascending again
        QCOMPARE(Cells(list, COL_EXT), QStringList({"", "gz", "TXT"}));
        ClickHeader(list, COL_COUNT);  // descending
        QCOMPARE(Cells(list, COL_COUNT).last(), QString("2"));
    }

    void cancelDuringTheSurveyStopsItAndCloses() {
        Surveyed tree;
        FilterBuilderDialog dialog(tree.folders, true);
        std::atomic<std::uint64_t> seen{0};
        // The survey holds after its second file until it is cancelled.
        dialog.SetFileObserver([&seen](std::uint64_t count, const CancelFlag& cancel) {
            seen.store(count);
            while (count == 2 && cancel.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        dialog.show();
        QTRY_VERIFY(dialog.surveying());
        // The window keeps painting the running count while the survey works.
        QTRY_COMPARE(dialog.valueLabel(ID_TOTAL_FILES)->text(), QString("2"));
        Click(dialog.button(ID_CANCEL));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.surveying());
        QCoreApplication::processEvents();
        QCOMPARE(seen.load(), std::uint64_t(2));
        QCOMPARE(dialog.typeList()->topLevelItemCount(), 0);
    }

private:
    static void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
};

QTEST_MAIN(FilterBuilderTest)
#include "test_filter_builder.moc"
