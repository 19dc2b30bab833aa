#pragma once
// The run dialogs' receiver of a worker's reports. The worker only stores
// the latest values; the window's thread paints them, at most about 30
// times a second, so a scan of many small files is not held back by
// repainting. Whatever arrives last is painted before the end is handled
// (PaintNow from the end handler).
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <mutex>
#include <string>

#include "report/RunSink.h"

class QLabel;
class QProgressBar;

namespace kivo {

class DialogRunSink : public QObject, public RunSink {
    Q_OBJECT

public:
    // Shortest time between two paints.
    static constexpr int kPaintIntervalMs = 33;

    DialogRunSink(QLabel* phase, QLabel* counter, QProgressBar* bar, QObject* parent = nullptr);

    // Worker thread.
    void ShowLabels() override;
    void SetPhase(const std::string& text) override;
    void SetCounter(const std::string& text) override;
    void SetPercent(int percent) override;

    // Window thread: paints what is waiting now, whatever the interval.
    void PaintNow();
    // How often the widgets were painted, for the benchmark.
    int paintCount() const { return paintCount_; }

private:
    struct Values {
        bool showLabels = false;
        bool phaseSet = false;
        std::string phase;
        bool counterSet = false;
        std::string counter;
        int percent = -1;  // -1: unchanged
    };

    // Worker side: marks new values and asks the window thread once.
    template <typename Change>
    void Update(Change change);
    void Deliver();

    QLabel* phase_;
    QLabel* counter_;
    QProgressBar* bar_;
    std::mutex mutex_;
    Values waiting_;      // guarded by mutex_
    bool posted_ = false; // guarded by mutex_: a delivery is on its way
    QTimer delay_;
    QElapsedTimer sincePaint_;
    int paintCount_ = 0;
};

}  // namespace kivo
