#include "ui/common/DialogRunSink.h"

#include <QLabel>
#include <QProgressBar>

#include "ui/common/Texts.h"

namespace kivo {

DialogRunSink::DialogRunSink(QLabel* phase, QLabel* counter, QProgressBar* bar, QObject* parent)
    : QObject(parent), phase_(phase), counter_(counter), bar_(bar) {
    delay_.setSingleShot(true);
    connect(&delay_, &QTimer::timeout, this, &DialogRunSink::PaintNow);
}

template <typename Change>
void DialogRunSink::Update(Change change) {
    bool post = false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        change(waiting_);
        post = !posted_;
        posted_ = true;
    }
    if (post) QMetaObject::invokeMethod(this, &DialogRunSink::Deliver, Qt::QueuedConnection);
}

void DialogRunSink::ShowLabels() {
    Update([](Values& v) { v.showLabels = true; });
}

void DialogRunSink::SetPhase(const std::string& text) {
    Update([&text](Values& v) {
        v.phaseSet = true;
        v.phase = text;
    });
}

void DialogRunSink::SetCounter(const std::string& text) {
    Update([&text](Values& v) {
        v.counterSet = true;
        v.counter = text;
    });
}

void DialogRunSink::SetPercent(int percent) {
    Update([percent](Values& v) { v.percent = percent; });
}

void DialogRunSink::Deliver() {
    if (sincePaint_.isValid() && sincePaint_.elapsed() < kPaintIntervalMs) {
        if (!delay_.isActive()) {
            delay_.start(static_cast<int>(kPaintIntervalMs - sincePaint_.elapsed()));
        }
        return;
    }
    PaintNow();
}

void DialogRunSink::PaintNow() {
    delay_.stop();
    Values values;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        values = std::move(waiting_);
        waiting_ = Values();
        posted_ = false;
    }
    const bool changed = values.showLabels || values.phaseSet || values.counterSet ||
                         values.percent >= 0;
    if (!changed) return;
    if (values.showLabels) {
        phase_->show();
        counter_->show();
    }
    if (values.phaseSet) phase_->setText(DisplayText(values.phase));
    if (values.counterSet) counter_->setText(DisplayText(values.counter));
    if (values.percent >= 0) bar_->setValue(values.percent);
    sincePaint_.start();
    ++paintCount_;
}

}  // namespace kivo
