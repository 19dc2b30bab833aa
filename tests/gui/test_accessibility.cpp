// Every window and dialog through the accessibility tree, as a screen
// reader meets it: each control that takes focus or acts has a name, no two
// acting controls of one window share a name, and read-only boxes say so.
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTextEdit>
#include <QtTest>
#include <functional>
#include <map>
#include <memory>

#include "GuiTestSupport.h"
#include "model/FileSet.h"
#include "model/Operation.h"
#include "ui/bind/BindKindDialogs.h"
#include "ui/main/AboutDialog.h"
#include "ui/main/ConfigureDialog.h"
#include "ui/common/SetChooser.h"
#include "ui/main/MainWindow.h"
#include "ui/main/MainWindowTemplate.h"
#include "ui/main/WindowLauncher.h"
#include "ui/run/RunDialogFactory.h"
#include "ui/sets/AddFoldersDialog.h"
#include "ui/run/RunDialogBase.h"
#include "ui/sets/FilterBuilderDialog.h"
#include "ui/sets/FilterBuilderTemplate.h"
#include "ui/sets/SetEditorDialog.h"
#include "ui/zipview/ExtractDialog.h"
#include "ui/zipview/ZipViewer.h"

using namespace kivo;
using namespace kivo::test;

namespace {

class NoConfigureActions : public ConfigureActions {
public:
    bool DesktopShortcutExists() override { return false; }
    bool CreateDesktopShortcut() override { return true; }
    bool DeleteDesktopShortcut() override { return true; }
    void Uninstall(QWidget*) override {}
};

bool Acts(QAccessibleInterface* item) {
    QAccessibleActionInterface* actions = item->actionInterface();
    if (actions == nullptr) return false;
    for (const QString& action : actions->actionNames()) {
        if (action != QAccessibleActionInterface::setFocusAction()) return true;
    }
    return false;
}

bool IsReadOnlyBox(QObject* object) {
    if (auto* line = qobject_cast<QLineEdit*>(object)) return line->isReadOnly();
    if (auto* text = qobject_cast<QTextEdit*>(object)) return text->isReadOnly();
    if (auto* plain = qobject_cast<QPlainTextEdit*>(object)) return plain->isReadOnly();
    return false;
}

// What is wrong with the widgets below `item`, one line each.
void Inspect(QAccessibleInterface* item, std::map<QString, QString>& actingNames,
             QStringList& problems) {
    for (int i = 0; i < item->childCount(); ++i) {
        QAccessibleInterface* child = item->child(i);
        if (child == nullptr || child->object() == nullptr || !child->object()->isWidgetType()) {
            continue;
        }
        const QAccessible::State state = child->state();
        if (state.invisible) continue;
        auto* widget = static_cast<QWidget*>(child->object());
        // "..." says nothing of what the button chooses.
        QString name = child->text(QAccessible::Name).trimmed();
        if (!name.contains(QRegularExpression("\\w"))) name.clear();
        const QString what = QString("%1 (%2)").arg(widget->metaObject()->className(),
                                                    widget->objectName());
        const bool acts = Acts(child);
        const bool shows = child->role() == QAccessible::ProgressBar;
        if ((state.focusable || acts || shows) && name.isEmpty()) problems << "no name: " + what;
        if (acts && !name.isEmpty()) {
            const auto [at, fresh] = actingNames.emplace(name, what);
            if (!fresh) problems << QString("two controls named \"%1\": %2, %3").arg(name, at->second, what);
        }
        if (IsReadOnlyBox(widget)) {
            if (state.editable || !state.readOnly) problems << "read-only box reports editable: " + name;
            if (!state.focusable) problems << "read-only box cannot take focus: " + name;
        }
        Inspect(child, actingNames, problems);
    }
}

QStringList Problems(QWidget* window) {
    std::map<QString, QString> actingNames;
    QStringList problems;
    Inspect(QAccessible::queryAccessibleInterface(window), actingNames, problems);
    return problems;
}

}  // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

    IsolatedEnvironment* env_ = nullptr;

private slots:
    void init() {
        env_ = new IsolatedEnvironment;
        auto saved = MakeOperation(OPERATION_COPY, "Docs");
        WriteStores({"Docs"}, {saved.get()});
    }
    void cleanup() { delete env_; }

    void EveryControlIsNamedOnce_data() {
        QTest::addColumn<QString>("window");
        for (const char* window : {"main", "set editor", "Add Folders", "Filter Builder", "run Delete",
                                   "run Copy", "run Move", "run Zip", "bind Delete", "bind Copy",
                                   "bind Move", "bind Zip", "viewer", "Extract", "Configure",
                                   "About"}) {
            QTest::newRow(window) << QString(window);
        }
    }
    void EveryControlIsNamedOnce() {
        QFETCH(QString, window);
        RecordingLauncher launcher;
        NoConfigureActions actions;
        zip::ZipDirectory directory;
        const auto set = MakeSet("Docs");
        const std::map<QString, int> kinds = {{"Delete", OPERATION_DELETE}, {"Copy", OPERATION_COPY},
                                              {"Move", OPERATION_MOVE}, {"Zip", OPERATION_ZIP}};
        std::unique_ptr<QWidget> shown;
        if (window == "main") shown = std::make_unique<MainWindow>(launcher);
        if (window == "set editor") {
            shown = std::make_unique<SetEditorDialog>(set.get(), std::vector<std::string>{}, true,
                                                      QString());
        }
        if (window == "Add Folders") shown = std::make_unique<AddFoldersDialog>(FolderOptions{});
        if (window == "Filter Builder") {
            shown = std::make_unique<FilterBuilderDialog>(std::vector<std::string>{env_->path().toStdString()},
                                                          true);
        }
        if (window.startsWith("run ")) {
            shown = MakeRunDialog(kinds.at(window.mid(4)), "Docs", nullptr, launcher, nullptr);
        }
        if (window.startsWith("bind ")) shown = MakeBindDialog(kinds.at(window.mid(5)), nullptr);
        if (window == "viewer") shown = std::make_unique<ZipViewer>(launcher, nullptr, "/no/such.zip");
        if (window == "Extract") {
            shown = std::make_unique<ExtractDialog>(directory, std::vector<const zip::ZipEntry*>{},
                                                    std::string(), launcher, nullptr);
        }
        if (window == "Configure") shown = std::make_unique<ConfigureDialog>(actions);
        if (window == "About") shown = std::make_unique<AboutDialog>();
        QVERIFY(shown != nullptr);
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown.get()));
        QTest::qWait(50);
        const QStringList problems = Problems(shown.get());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join("\n")));
    }

    // What a screen reader reads out where the visible text alone is not
    // enough: the chooser's caption and choice, the Filter Builder's
    // numbers, a saved operation's kind.
    void ValuesAreReadOut() {
        RecordingLauncher launcher;
        std::unique_ptr<RunDialogBase> run = MakeRunDialog(OPERATION_COPY, "Docs", nullptr, launcher, nullptr);
        run->show();
        QTRY_COMPARE(run->chooser()->currentText(), QString("Docs"));
        QAccessibleInterface* chooser = QAccessible::queryAccessibleInterface(run->chooser());
        QCOMPARE(chooser->text(QAccessible::Name), QString("Kivo"));
        QCOMPARE(chooser->text(QAccessible::Value), QString("Docs"));
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(run->control(ID_PROGRESS_BAR));
        QCOMPARE(bar->text(QAccessible::Name), QString("Kivo Copy progress"));

        FilterBuilderDialog builder({env_->path().toStdString()}, true);
        QSignalSpy surveyed(&builder, &FilterBuilderDialog::surveyFinished);
        builder.StartSurvey();
        QVERIFY(surveyed.wait(10000));
        const QString files = builder.valueLabel(filter_builder::ID_TOTAL_FILES)->text();
        QVERIFY(files.contains(QRegularExpression("^[1-9]")));
        QCOMPARE(QAccessible::queryAccessibleInterface(builder.valueLabel(filter_builder::ID_TOTAL_FILES))
                     ->text(QAccessible::Name),
                 "Total Files: " + files);

        MainWindow window(launcher);
        window.show();
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(window.control(main_window::ID_OPERATION_LIST));
        QStringList rows;
        for (int i = 0; i < list->childCount(); ++i) rows << list->child(i)->text(QAccessible::Name);
        QVERIFY2(rows.filter(QRegularExpression("^Docs.*, Copy$")).size() == 1, qPrintable(rows.join("|")));
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
