#include "ui/common/RunJob.h"

#include <system_error>

#include "ui/common/DialogRunSink.h"

namespace kivo {

RunJob::RunJob(QObject* parent) : QObject(parent) {}

RunJob::~RunJob() {
    cancel_.store(1);
    Join();
}

void RunJob::ShowProgressIn(QLabel* phase, QLabel* counter, QProgressBar* bar) {
    sink_ = new DialogRunSink(phase, counter, bar, this);
}

bool RunJob::Start(Work work) {
    if (running_) return false;
    Join();
    cancel_.store(0);
    RunSink& sink = sink_ != nullptr ? static_cast<RunSink&>(*sink_) : silent_;
    try {
        worker_ = std::thread([this, &sink, work = std::move(work)] {
            const RunResult result = work(cancel_, sink);
            // Queued after every report of the run; dropped with the job.
            QMetaObject::invokeMethod(this, [this, result] { Ended(result); },
                                      Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        return false;
    }
    running_ = true;
    return true;
}

void RunJob::Cancel() {
    if (running_) cancel_.store(1);
}

void RunJob::CancelAndWait() {
    Cancel();
    Join();
}

void RunJob::Join() {
    if (worker_.joinable()) worker_.join();
}

void RunJob::Ended(const RunResult& result) {
    Join();
    if (sink_ != nullptr) sink_->PaintNow();
    cancel_.store(0);
    running_ = false;
    emit finished(result);
}

}  // namespace kivo
