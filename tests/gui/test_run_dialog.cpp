// The machinery every run dialog shares, driven through a dialog whose job
// the test controls: the three ends, Cancel, the input filter and cursor
// while running, and how often the worker's reports are painted.
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>
#include <atomic>

#include "FakeSetEditor.h"
#include "GuiTestSupport.h"
#include "ui/common/DialogRunSink.h"
#include "ui/common/MessageBoxes.h"
#include "ui/common/SetChooser.h"
#include "ui/run/RunDialogBase.h"

using namespace kivo;
using namespace kivo::test;

namespace {

// A run dialog whose worker does what the test says.
class ProbeDialog : public RunDialogBase {
public:
    std::function<RunResult(CancelFlag&, RunSink&)> work;
    QLineEdit* edit = nullptr;

    ProbeDialog(DialogLauncher& launcher, const std::string& setName, bool autoStart)
        : RunDialogBase("Kivo Probe", setName, autoStart, launcher, nullptr) {
        auto* layout = new QVBoxLayout(this);
        AddChooserGroup(layout);
        edit = new QLineEdit(this);
        layout->addWidget(edit);
        AddProgressArea(layout);
        AddButtons(layout);
    }

    void FillFrom(const Operation&) override {}

protected:
    Job PrepareJob() override { return work; }
};

// Holds the worker until released or cancelled.
struct Gate {
    std::atomic<bool> open{false};
    RunResult Wait(CancelFlag& cancel) {
        while (!open.load() && cancel.load() == 0) QThread::msleep(1);
        return cancel.load() != 0 ? RunResult{RunEnd::Stopped, {}} : RunResult{};
    }
};

}  // namespace

class TestRunDialog : public QObject {
    Q_OBJECT

    IsolatedEnvironment* env_ = nullptr;
    FakeSetEditor editor_;

private slots:
    void init() {
        env_ = new IsolatedEnvironment;
        WriteStores({"Music"}, {});
    }
    void cleanup() { delete env_; }

    void EndsCloseTheDialog_data() {
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("messages");
        QTest::newRow("done") << int(RunEnd::Done) << int(QDialog::Accepted) << 0;
        QTest::newRow("stopped") << int(RunEnd::Stopped) << int(QDialog::Rejected) << 0;
        QTest::newRow("failed") << int(RunEnd::Failed) << int(QDialog::Rejected) << 1;
    }
    void EndsCloseTheDialog() {
        QFETCH(int, end);
        QFETCH(int, result);
        QFETCH(int, messages);
        MessageScript boxes;
        ProbeDialog dialog(editor_, "music", false);
        dialog.work = [end](CancelFlag&, RunSink& sink) {
            sink.ShowLabels();
            sink.SetCounter("7 Files,  7 Bytes");
            sink.SetPercent(42);
            return RunResult{RunEnd(end), "Can not delete file:\r\n/x"};
        };
        dialog.show();
        QSignalSpy finished(&dialog, &QDialog::finished);
        QTRY_VERIFY(dialog.button(ID_START)->isEnabled());
        dialog.button(ID_START)->click();
        // The end is handled only after Start returned.
        QVERIFY(!dialog.idle());
        QVERIFY(!dialog.button(ID_START)->isEnabled());
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.front().front().toInt(), result);
        QVERIFY(dialog.idle());
        // The last values reach the widgets before the end.
        QCOMPARE(static_cast<QLabel*>(dialog.control(ID_COUNTER_LABEL))->text(),
                 QString("7 Files,  7 Bytes"));
        QCOMPARE(static_cast<QProgressBar*>(dialog.control(ID_PROGRESS_BAR))->value(), 42);
        QVERIFY(!dialog.control(ID_COUNTER_LABEL)->isHidden());
        QCOMPARE(int(boxes.shown().size()), messages);
        if (messages == 1) {
            QCOMPARE(boxes.shown()[0].icon, MessageIcon::Information);
            QCOMPARE(boxes.shown()[0].text, QString("Can not delete file:\n/x"));
        }
    }

    void OnlyCancelAndEscapeActWhileRunning_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel button") << "cancel";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("close box") << "close";
    }
    void OnlyCancelAndEscapeActWhileRunning() {
        QFETCH(QString, how);
        Gate gate;
        ProbeDialog dialog(editor_, "Music", false);
        dialog.work = [&gate](CancelFlag& cancel, RunSink&) { return gate.Wait(cancel); };
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTRY_VERIFY(dialog.button(ID_START)->isEnabled());
        dialog.Start();
        QSignalSpy finished(&dialog, &QDialog::finished);

        // Nothing but Cancel and Escape reaches the dialog.
        QTest::keyClicks(dialog.edit, "abc");
        QTest::keyClick(&dialog, Qt::Key_Return);
        QTest::mouseClick(dialog.button(ID_SET_CREATE), Qt::LeftButton);
        QTest::mouseClick(dialog.button(ID_START), Qt::LeftButton);
        QCOMPARE(dialog.edit->text(), QString());
        QVERIFY(editor_.createdNames.empty());
        QCOMPARE(dialog.cancelRequested(), 0);
        QVERIFY(dialog.isVisible());

        // The wait cursor shows everywhere but over Cancel.
        QCOMPARE(dialog.cursor().shape(), Qt::WaitCursor);
        QCOMPARE(dialog.edit->cursor().shape(), Qt::WaitCursor);
        QCOMPARE(dialog.button(ID_CANCEL)->cursor().shape(), Qt::ArrowCursor);

        if (how == "cancel") QTest::mouseClick(dialog.button(ID_CANCEL), Qt::LeftButton);
        if (how == "escape") QTest::keyClick(dialog.edit, Qt::Key_Escape);
        if (how == "close") dialog.close();
        // Cancel only asks the worker; the dialog waits for its end.
        QCOMPARE(dialog.cancelRequested(), 1);
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.front().front().toInt(), int(QDialog::Rejected));
        QCOMPARE(dialog.edit->cursor().shape(), Qt::IBeamCursor);
        QCOMPARE(dialog.cancelRequested(), 0);
    }

    void IdleCancelClosesAndNothingSelectedKeepsStartDisabled() {
        ProbeDialog dialog(editor_, "no such set", true);
        bool ran = false;
        dialog.work = [&ran](CancelFlag&, RunSink&) {
            ran = true;
            return RunResult{};
        };
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        QTest::qWait(50);
        QVERIFY(!dialog.button(ID_START)->isEnabled());
        QVERIFY(!dialog.button(ID_SET_PROPERTY)->isEnabled());
        QVERIFY(dialog.button(ID_SET_CREATE)->isEnabled());
        dialog.button(ID_CANCEL)->click();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.front().front().toInt(), int(QDialog::Rejected));
        QVERIFY(!ran);
    }

    void ReportsArePaintedAtMostThirtyTimesASecond() {
        ProbeDialog dialog(editor_, "Music", true);
        constexpr int kUpdates = 200000;
        dialog.work = [](CancelFlag&, RunSink& sink) {
            for (int i = 1; i <= kUpdates; ++i) {
                sink.SetCounter(std::to_string(i));
                sink.SetPercent(i * 100 / kUpdates);
            }
            return RunResult{};
        };
        QSignalSpy finished(&dialog, &QDialog::finished);
        QElapsedTimer clock;
        clock.start();
        dialog.show();
        QVERIFY(finished.wait(20000));
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(static_cast<QLabel*>(dialog.control(ID_COUNTER_LABEL))->text(),
                 QString::number(kUpdates));
        const int paints = dialog.sink()->paintCount();
        QVERIFY2(paints <= elapsed / DialogRunSink::kPaintIntervalMs + 2,
                 qPrintable(QString("%1 paints in %2 ms").arg(paints).arg(elapsed)));
    }
};

QTEST_MAIN(TestRunDialog)
#include "test_run_dialog.moc"
