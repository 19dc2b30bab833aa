#include "ui/sets/FilterBuilderDialog.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "model/StringTable.h"
#include "scan/Format.h"
#include "scan/Survey.h"
#include "ui/common/DialogUnits.h"
#include "ui/common/RunJob.h"
#include "ui/common/Texts.h"
#include "ui/sets/FileTypeRow.h"
#include "ui/sets/FilterBuilderTemplate.h"

namespace kivo {

using namespace filter_builder;

namespace {

FileTypeRow* RowAt(const QTreeWidget* list, int index) {
    return static_cast<FileTypeRow*>(list->topLevelItem(index));
}

}  // namespace

FilterBuilderDialog::FilterBuilderDialog(std::vector<std::string> folders, bool includeSubfolders,
                                         QWidget* parent)
    : QDialog(parent), folders_(std::move(folders)), includeSubfolders_(includeSubfolders) {
    job_ = new RunJob(this);
    connect(job_, &RunJob::finished, this, &FilterBuilderDialog::FinishSurvey);
    setWindowTitle(QString::fromLatin1(kCaption));
    CreateControls();
    ConnectCommands();
    button(ID_OK)->setEnabled(false);
    startTimer_ = new QTimer(this);
    startTimer_->setSingleShot(true);
    startTimer_->setInterval(kStartDelayMs);
    connect(startTimer_, &QTimer::timeout, this, &FilterBuilderDialog::StartSurvey);
    startTimer_->start();
    countTimer_ = new QTimer(this);
    countTimer_->setInterval(kCountIntervalMs);
    connect(countTimer_, &QTimer::timeout, this, &FilterBuilderDialog::ShowRunningCount);
}

FilterBuilderDialog::~FilterBuilderDialog() { StopWorker(); }

void FilterBuilderDialog::CreateControls() {
    const DialogUnits units(font());
    setFixedSize(units.Size(kWidth, kHeight));
    for (const DialogControl& t : kControls) {
        QWidget* widget = nullptr;
        const QString text = QString::fromLatin1(t.text);
        switch (t.id) {
        case ID_TYPE_LIST: {
            list_ = new QTreeWidget(this);
            list_->setColumnCount(4);
            list_->setHeaderLabels({UiText(IDS_COL_EXT), UiText(IDS_COL_FILE_TYPE),
                                    UiText(IDS_COL_FILE_COUNT), UiText(IDS_COL_TOTAL_SIZE)});
            for (int column = COL_EXT; column <= COL_SIZE; ++column) {
                list_->setColumnWidth(column, kColumnWidths[column]);
            }
            list_->headerItem()->setTextAlignment(COL_COUNT, Qt::AlignRight | Qt::AlignVCenter);
            list_->headerItem()->setTextAlignment(COL_SIZE, Qt::AlignRight | Qt::AlignVCenter);
            list_->header()->setSectionsClickable(true);
            list_->header()->setStretchLastSection(false);
            list_->setRootIsDecorated(false);
            // Rows ask for their type names when drawn; uniform rows keep
            // the view from asking every row for its height.
            list_->setUniformRowHeights(true);
            list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
            list_->setSelectionBehavior(QAbstractItemView::SelectRows);
            list_->setAccessibleName(QStringLiteral("File Types"));
            widget = list_;
            break;
        }
        case ID_CHECK_ALL:
        case ID_REVERSE_CHECK:
        case ID_OK:
        case ID_CANCEL: {
            widget = MakeTemplateButton(this, text, t.id == ID_OK);
            break;
        }
        default:
            widget = new QLabel(text, this);
            break;
        }
        widget->setGeometry(units.Rect(t.x, t.y, t.width, t.height));
        controls_[t.id] = widget;
    }
    for (int value : {ID_TOTAL_FILES, ID_CHECKED_FILES, ID_TOTAL_SIZE, ID_CHECKED_SIZE}) {
        ShowValue(value, valueLabel(value)->text());
    }
}

void FilterBuilderDialog::ShowValue(int id, const QString& text) {
    // A screen reader reads a label's name only, so the name carries the
    // caption beside the value and the value itself.
    static const std::map<int, int> kCaptionOf = {{ID_TOTAL_FILES, ID_TOTAL_FILES_LABEL},
                                                  {ID_CHECKED_FILES, ID_CHECKED_FILES_LABEL},
                                                  {ID_TOTAL_SIZE, ID_TOTAL_SIZE_LABEL},
                                                  {ID_CHECKED_SIZE, ID_CHECKED_SIZE_LABEL}};
    QLabel* value = valueLabel(id);
    value->setText(text);
    value->setAccessibleName(valueLabel(kCaptionOf.at(id))->text() + QLatin1Char(' ') + text);
}

void FilterBuilderDialog::ConnectCommands() {
    connect(button(ID_OK), &QPushButton::clicked, this, &FilterBuilderDialog::accept);
    connect(button(ID_CANCEL), &QPushButton::clicked, this, &FilterBuilderDialog::reject);
    connect(button(ID_CHECK_ALL), &QPushButton::clicked, this, &FilterBuilderDialog::CheckAll);
    connect(button(ID_REVERSE_CHECK), &QPushButton::clicked, this, &FilterBuilderDialog::ReverseCheck);
    connect(list_->header(), &QHeaderView::sectionClicked, this, &FilterBuilderDialog::SortByColumn);
    // Every change of a check, by mouse or keyboard.
    connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem*, int column) {
        if (column == COL_EXT) RefreshTotals();
    });
}

QWidget* FilterBuilderDialog::control(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

QPushButton* FilterBuilderDialog::button(int id) const { return qobject_cast<QPushButton*>(control(id)); }

QLabel* FilterBuilderDialog::valueLabel(int id) const { return qobject_cast<QLabel*>(control(id)); }

void FilterBuilderDialog::StartSurvey() {
    startTimer_->stop();
    if (job_->running()) return;
    list_->clear();
    survey_ = std::make_unique<FileTypeSurvey>();
    runningCount_.store(0);
    // The worker reads only the folders and fills only the survey, both
    // left alone by the window until the job has finished.
    const bool started = job_->Start([this](CancelFlag& cancel, RunSink&) {
        survey_->Run(
            folders_, includeSubfolders_,
            [this, &cancel](std::uint64_t count) {
                runningCount_.store(count, std::memory_order_relaxed);
                if (observer_) observer_(count, cancel);
            },
            &cancel);
        RunResult result;
        if (cancel.load() != 0) result.end = RunEnd::Stopped;
        return result;
    });
    if (!started) return;
    surveying_ = true;
    countTimer_->start();
}

void FilterBuilderDialog::ShowRunningCount() {
    ShowValue(ID_TOTAL_FILES, 
        QString::fromStdString(FormatCount(runningCount_.load(std::memory_order_relaxed))));
}

void FilterBuilderDialog::FinishSurvey(const RunResult& result) {
    countTimer_->stop();
    surveying_ = false;
    if (result.end != RunEnd::Done) return;
    const QSignalBlocker quiet(list_);
    list_->setUpdatesEnabled(false);
    for (const FileTypeRecord& record : survey_->Records()) {
        list_->addTopLevelItem(new FileTypeRow(record));
    }
    list_->setUpdatesEnabled(true);
    RefreshTotals();
    emit surveyFinished();
}

void FilterBuilderDialog::RefreshTotals() {
    std::uint64_t totalCount = 0, totalSize = 0, checkedCount = 0, checkedSize = 0;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        const FileTypeRow* row = RowAt(list_, i);
        totalCount += row->record().fileCount;
        totalSize += row->record().totalSize;
        if (row->checkState(COL_EXT) == Qt::Checked) {
            checkedCount += row->record().fileCount;
            checkedSize += row->record().totalSize;
        }
    }
    ShowValue(ID_TOTAL_FILES, QString::fromStdString(FormatCount(totalCount)));
    ShowValue(ID_CHECKED_FILES, QString::fromStdString(FormatCount(checkedCount)));
    ShowValue(ID_TOTAL_SIZE, QString::fromStdString(FormatSize(totalSize)));
    ShowValue(ID_CHECKED_SIZE, QString::fromStdString(FormatSize(checkedSize)));
    button(ID_OK)->setEnabled(checkedCount != 0);
}

void FilterBuilderDialog::CheckAll() {
    {
        const QSignalBlocker quiet(list_);
        for (int i = 0; i < list_->topLevelItemCount(); ++i) RowAt(list_, i)->setCheckState(COL_EXT, Qt::Checked);
    }
    RefreshTotals();
}

void FilterBuilderDialog::ReverseCheck() {
    {
        const QSignalBlocker quiet(list_);
        for (int i = 0; i < list_->topLevelItemCount(); ++i) {
            FileTypeRow* row = RowAt(list_, i);
            row->setCheckState(COL_EXT, row->checkState(COL_EXT) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        }
    }
    RefreshTotals();
}

void FilterBuilderDialog::SortByColumn(int column) {
    if (list_->topLevelItemCount() < 2) return;
    // One direction for all columns.
    ascending_ = !ascending_;
    list_->sortItems(column, ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void FilterBuilderDialog::accept() {
    patterns_.clear();
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        const FileTypeRow* row = RowAt(list_, i);
        if (row->checkState(COL_EXT) == Qt::Checked) patterns_.push_back("*." + row->record().Extension());
    }
    QDialog::accept();
}

void FilterBuilderDialog::reject() {
    StopWorker();
    QDialog::reject();
}

void FilterBuilderDialog::StopWorker() {
    startTimer_->stop();
    countTimer_->stop();
    surveying_ = false;
    job_->CancelAndWait();
}

}  // namespace kivo
