#pragma once
// What every run dialog shares: the set chooser, the phase and counter
// labels, the bar, "Start" and "Cancel", one worker thread per run, and the
// three ends. While a run lasts only "Cancel" and Escape act, and the wait
// cursor shows everywhere but over "Cancel". Every end closes the dialog:
// a completed run with OK, a stopped or failed one with Cancel.
#include <QDialog>
#include <QPointer>
#include <atomic>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "report/RunSink.h"

class QButtonGroup;
class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace kivo {

class DialogLauncher;
class DialogRunSink;
class FileSet;
class Operation;
class SetChooser;

// Control ids the run dialogs share.
enum RunControlId : int {
    ID_START = 1,
    ID_CANCEL = 2,
    ID_SET_CHOOSER = 1000,
    ID_SET_PROPERTY = 1003,
    ID_SET_CREATE = 1047,
    ID_PROGRESS_BAR = 1022,
    ID_PHASE_LABEL = 1053,
    ID_COUNTER_LABEL = 1054,
};

class RunDialogBase : public QDialog {
    Q_OBJECT

public:
    // The job a worker thread runs: everything it needs is copied into it
    // when the run starts, so it never reads a widget.
    using Job = std::function<RunResult(CancelFlag& cancel, RunSink& sink)>;

    ~RunDialogBase() override;

    // A control by its id; null for an id the dialog lacks.
    QWidget* control(int id) const;
    void AddControl(int id, QWidget* widget);
    QPushButton* button(int id) const;
    SetChooser* chooser() const { return chooser_; }
    DialogRunSink* sink() const { return sink_; }

    // A saved operation's options, before the dialog is shown; the dialog
    // then starts by itself when its set and destination allow it.
    virtual void FillFrom(const Operation& operation) = 0;

    bool idle() const { return idle_; }
    bool autoStart() const { return autoStart_; }
    int cancelRequested() const { return cancel_.load(); }

public slots:
    // "Start": reads the options and, when they allow it, starts the run.
    void Start();
    // "Cancel", Escape and the close box: closes an idle dialog, asks a
    // running worker to stop.
    void reject() override;

protected:
    RunDialogBase(const QString& caption, const std::string& setName, bool autoStart,
              DialogLauncher& launcher, QWidget* parent);

    // Layout pieces, called by each dialog in the order of its controls.
    void AddChooserGroup(QVBoxLayout* layout);
    void AddProgressArea(QVBoxLayout* layout);
    void AddButtons(QVBoxLayout* layout);

    // Reads the options and returns the job, or nothing when the run must
    // not start (the dialog has then told the user why).
    virtual Job PrepareJob() = 0;
    // Re-evaluates the buttons; the base enables "Start" when a set is
    // selected, unless a run has started.
    virtual void Refresh();
    // Whether the options allow starting by itself (a set is selected).
    virtual bool ReadyToAutoStart() const;
    // After the set is selected at opening and no auto-start happens.
    virtual void InitialFocus() {}
    // Buttons are re-evaluated together, after the current event.
    void QueueRefresh();
    // The dialog's answer to the end of a run, once the worker is gone and
    // the dialog is idle again. The base closes it on every end: OK after a
    // completed run, Cancel after a stopped one or (showing the text first)
    // a failed one.
    virtual void HandleEnd(const RunResult& result);
    // For a dialog that stays open after an end: Start may run again.
    void AllowAnotherRun() { started_ = false; }

    // The selected set copied for the worker; null when none is selected.
    std::shared_ptr<const FileSet> SelectedSetCopy() const;

    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Initialise();
    void Ended(const RunResult& result);
    void ShowBusy(bool busy);
    void JoinWorker();

    DialogLauncher& launcher_;
    std::string setName_;
    bool autoStart_;
    bool initialised_ = false;
    bool idle_ = true;
    bool started_ = false;
    bool refreshQueued_ = false;
    CancelFlag cancel_{0};
    std::thread worker_;
    std::map<int, QWidget*> controls_;
    SetChooser* chooser_ = nullptr;
    QLabel* phase_ = nullptr;
    QLabel* counter_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    DialogRunSink* sink_ = nullptr;
    // Widgets whose own cursor the wait cursor replaced while running.
    std::vector<std::pair<QPointer<QWidget>, QCursor>> savedCursors_;
};

// The shared radio groups of the run dialogs, registered under their ids.
QButtonGroup* AddRadioGroup(QVBoxLayout* layout, RunDialogBase* dialog, const QString& title,
                            int firstId, std::initializer_list<const char*> texts);
QButtonGroup* AddEmptyFoldersGroup(QVBoxLayout* layout, RunDialogBase* dialog, const QString& title);

}  // namespace kivo
