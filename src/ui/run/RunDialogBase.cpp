#include "ui/run/RunDialogBase.h"

#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <system_error>

#include "model/FileSet.h"
#include "ui/common/DialogRunSink.h"
#include "ui/common/DialogUnits.h"
#include "ui/common/MessageBoxes.h"
#include "ui/common/OperationControls.h"
#include "ui/common/SetChooser.h"
#include "ui/common/Texts.h"

namespace kivo {

namespace {

// Every run dialog template is this many dialog units wide.
constexpr int kTemplateWidth = 236;

std::shared_ptr<const FileSet> CopyOf(const FileSet& set) {
    auto copy = std::make_shared<FileSet>();
    copy->name = set.name;
    for (const auto& entry : set.entries) copy->entries.push_back(entry->Clone());
    return copy;
}

bool IsKeyEvent(QEvent::Type type) {
    return type == QEvent::KeyPress || type == QEvent::KeyRelease ||
           type == QEvent::ShortcutOverride;
}

bool IsButtonEvent(QEvent::Type type) {
    return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
           type == QEvent::MouseButtonDblClick || type == QEvent::Wheel;
}

}  // namespace

RunDialogBase::RunDialogBase(const QString& caption, const std::string& setName, bool autoStart,
                     DialogLauncher& launcher, QWidget* parent)
    : QDialog(parent), launcher_(launcher), setName_(setName), autoStart_(autoStart) {
    setWindowTitle(caption);
    setMinimumWidth(DialogUnits(font()).X(kTemplateWidth));
}

RunDialogBase::~RunDialogBase() {
    // A dialog only closes after its run ended; this covers a dialog torn
    // down with its parent while the worker still runs.
    cancel_.store(1);
    JoinWorker();
    if (!idle_) ShowBusy(false);
}

void RunDialogBase::AddControl(int id, QWidget* widget) { controls_[id] = widget; }

QWidget* RunDialogBase::control(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

QPushButton* RunDialogBase::button(int id) const { return qobject_cast<QPushButton*>(control(id)); }

void RunDialogBase::AddChooserGroup(QVBoxLayout* layout) {
    auto* group = new QGroupBox(tr("Kivo"), this);
    auto* row = new QHBoxLayout(group);
    chooser_ = new SetChooser(group, &launcher_, group);
    chooser_->setAccessibleName(tr("Kivo"));
    chooser_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    row->addWidget(chooser_, 1);
    row->addWidget(chooser_->propertyButton());
    row->addWidget(chooser_->createButton());
    layout->addWidget(group);
    AddControl(ID_SET_CHOOSER, chooser_);
    AddControl(ID_SET_PROPERTY, chooser_->propertyButton());
    AddControl(ID_SET_CREATE, chooser_->createButton());
    connect(chooser_, &SetChooser::setsChanged, this, &RunDialogBase::QueueRefresh);
}

void RunDialogBase::AddProgressArea(QVBoxLayout* layout) {
    phase_ = new QLabel(tr("Scanning Files..."), this);
    counter_ = new QLabel(this);
    counter_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    counter_->setAlignment(Qt::AlignCenter);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    // Hidden labels keep their room, so the dialog does not jump at Start.
    for (QWidget* label : {static_cast<QWidget*>(phase_), static_cast<QWidget*>(counter_)}) {
        QSizePolicy policy = label->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        label->setSizePolicy(policy);
        label->hide();
    }
    counter_->setMinimumHeight(counter_->fontMetrics().height() + 6);
    layout->addWidget(phase_);
    layout->addWidget(counter_);
    layout->addWidget(bar_);
    AddControl(ID_PHASE_LABEL, phase_);
    AddControl(ID_COUNTER_LABEL, counter_);
    AddControl(ID_PROGRESS_BAR, bar_);
    sink_ = new DialogRunSink(phase_, counter_, bar_, this);
}

void RunDialogBase::AddButtons(QVBoxLayout* layout) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    start_ = new QPushButton(tr("Start"), this);
    start_->setDefault(true);
    cancelButton_ = new QPushButton(tr("Cancel"), this);
    cancelButton_->setAutoDefault(false);
    row->addWidget(start_);
    row->addWidget(cancelButton_);
    layout->addLayout(row);
    AddControl(ID_START, start_);
    AddControl(ID_CANCEL, cancelButton_);
    connect(start_, &QPushButton::clicked, this, &RunDialogBase::Start);
    connect(cancelButton_, &QPushButton::clicked, this, &RunDialogBase::reject);
}

void RunDialogBase::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!initialised_) {
        initialised_ = true;
        Initialise();
    }
}

void RunDialogBase::Initialise() {
    // A dialog without a set chooser (extraction) has no set to select.
    if (chooser_ != nullptr) chooser_->SelectByName(setName_);
    if (autoStart_ && ReadyToAutoStart()) {
        QMetaObject::invokeMethod(this, &RunDialogBase::Start, Qt::QueuedConnection);
        return;
    }
    InitialFocus();
    QueueRefresh();
}

bool RunDialogBase::ReadyToAutoStart() const { return chooser_->SelectedSet() != nullptr; }

void RunDialogBase::QueueRefresh() {
    if (refreshQueued_) return;
    refreshQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            refreshQueued_ = false;
            Refresh();
        },
        Qt::QueuedConnection);
}

void RunDialogBase::Refresh() {
    chooser_->RefreshButtons();
    start_->setEnabled(!started_ && chooser_->SelectedSet() != nullptr);
}

std::shared_ptr<const FileSet> RunDialogBase::SelectedSetCopy() const {
    const FileSet* set = chooser_->SelectedSet();
    return set == nullptr ? nullptr : CopyOf(*set);
}

void RunDialogBase::Start() {
    // A dialog runs once; a queued auto-start can meet a click on Start.
    if (!idle_ || started_ || !isVisible()) return;
    Job job = PrepareJob();
    if (!job) return;
    bar_->setValue(0);
    cancel_.store(0);
    try {
        worker_ = std::thread([this, job = std::move(job)] {
            const RunResult result = job(cancel_, *sink_);
            // Queued after every report of the run, and handled only once
            // Start has returned.
            QMetaObject::invokeMethod(this, [this, result] { Ended(result); },
                                      Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        // No thread: the dialog stays idle with "Start" enabled.
        return;
    }
    idle_ = false;
    started_ = true;
    start_->setEnabled(false);
    ShowBusy(true);
}

void RunDialogBase::JoinWorker() {
    if (worker_.joinable()) worker_.join();
}

void RunDialogBase::Ended(const RunResult& result) {
    JoinWorker();
    sink_->PaintNow();
    cancel_.store(0);
    idle_ = true;
    ShowBusy(false);
    HandleEnd(result);
}

void RunDialogBase::HandleEnd(const RunResult& result) {
    switch (result.end) {
    case RunEnd::Done:
        accept();
        return;
    case RunEnd::Failed:
        ShowInformation(this, DisplayText(result.errorText));
        break;
    case RunEnd::Stopped:
        break;
    }
    QDialog::reject();
}

void RunDialogBase::reject() {
    if (idle_) {
        QDialog::reject();
        return;
    }
    cancel_.store(1);
}

void RunDialogBase::ShowBusy(bool busy) {
    if (busy) {
        qApp->installEventFilter(this);
        setCursor(Qt::WaitCursor);
        // Widgets with a cursor of their own (edit boxes) would show it
        // instead of the wait cursor.
        for (QWidget* child : findChildren<QWidget*>()) {
            if (child == cancelButton_ || !child->testAttribute(Qt::WA_SetCursor)) continue;
            savedCursors_.emplace_back(child, child->cursor());
            child->setCursor(Qt::WaitCursor);
        }
        cancelButton_->setCursor(Qt::ArrowCursor);
        return;
    }
    qApp->removeEventFilter(this);
    unsetCursor();
    cancelButton_->unsetCursor();
    for (auto& [widget, cursor] : savedCursors_) {
        if (widget != nullptr) widget->setCursor(cursor);
    }
    savedCursors_.clear();
}

bool RunDialogBase::eventFilter(QObject* watched, QEvent* event) {
    if (idle_ || !watched->isWidgetType()) return QDialog::eventFilter(watched, event);
    auto* widget = static_cast<QWidget*>(watched);
    if (widget != this && !isAncestorOf(widget)) return QDialog::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (IsKeyEvent(type)) {
        return static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape;
    }
    if (IsButtonEvent(type)) return widget != cancelButton_;
    return QDialog::eventFilter(watched, event);
}

namespace {

ControlRegistry RegistryOf(RunDialogBase* dialog) {
    return [dialog](int id, QWidget* control) { dialog->AddControl(id, control); };
}

}  // namespace

QButtonGroup* AddRadioGroup(QVBoxLayout* layout, RunDialogBase* dialog, const QString& title,
                            int firstId, std::initializer_list<const char*> texts) {
    return AddRadioGroup(layout, dialog, RegistryOf(dialog), title, firstId, texts);
}

QButtonGroup* AddEmptyFoldersGroup(QVBoxLayout* layout, RunDialogBase* dialog, const QString& title) {
    return AddEmptyFoldersGroup(layout, dialog, RegistryOf(dialog), title);
}

}  // namespace kivo
