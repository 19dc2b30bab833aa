#pragma once
// One run of a worker behind a window: the worker thread, its cancel flag
// and the sink its reports go to. The window starts the job and may ask it
// to stop; the end arrives as `finished` on the window's thread, after every
// report of the run, once the worker is gone. This is the only place the
// desktop program starts a thread of its own.
#include <QObject>
#include <functional>
#include <thread>

#include "report/RunSink.h"

class QLabel;
class QProgressBar;

namespace kivo {

class DialogRunSink;

class RunJob : public QObject {
    Q_OBJECT

public:
    // What the worker runs: everything it needs is copied into it when the
    // run starts, so it never reads a widget.
    using Work = std::function<RunResult(CancelFlag& cancel, RunSink& sink)>;

    explicit RunJob(QObject* parent = nullptr);
    // Asks a running worker to stop and waits for it.
    ~RunJob() override;

    // The worker's reports are painted into these widgets; without them
    // the reports go nowhere.
    void ShowProgressIn(QLabel* phase, QLabel* counter, QProgressBar* bar);
    DialogRunSink* sink() const { return sink_; }

    // Starts `work` on a new thread. False when no thread could be made;
    // the job then stays idle and no `finished` follows.
    bool Start(Work work);
    // Asks the worker to stop; its end still arrives through `finished`.
    void Cancel();
    // Asks the worker to stop and waits for it, for a window that closes
    // at once. `finished` still arrives, with the run's own end.
    void CancelAndWait();

    // From Start until `finished` has been delivered.
    bool running() const { return running_; }
    // Whether a stop was asked of the current run (1) or not (0).
    int cancelRequested() const { return cancel_.load(); }
    // The flag the worker polls, for a caller that watches the work.
    const CancelFlag& cancelFlag() const { return cancel_; }

signals:
    void finished(const kivo::RunResult& result);

private:
    void Ended(const RunResult& result);
    void Join();

    std::thread worker_;
    CancelFlag cancel_{0};
    RunSink silent_;
    DialogRunSink* sink_ = nullptr;
    bool running_ = false;
};

}  // namespace kivo
