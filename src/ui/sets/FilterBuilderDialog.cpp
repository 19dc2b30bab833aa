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
    // The value labels are known by the captions beside them.
    const std::pair<int, int> pairs[] = {{ID_TOTAL_FILES_LABEL, ID_TOTAL_FILES},
                                         {ID_CHECKED_FILES_LABEL, ID_CHECKED_FILES},
                                         {ID_TOTAL_SIZE_LABEL, ID_TOTAL_SIZE},
                                         {ID_CHECKED_SIZE_LABEL, ID_CHECKED_SIZE}};
    for (const auto& [caption, value] : pairs) {
        valueLabel(value)->setAccessibleName(valueLabel(caption)->text());
    }
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
    if (worker_.joinable()) return;
    list_->clear();
    survey_ = std::make_unique<FileTypeSurvey>();
    runningCount_.store(0);
    finished_ = false;
    countTimer_->start();
    worker_ = std::thread([this] {
        survey_->Run(
            folders_, includeSubfolders_,
            [this](std::uint64_t count) {
                runningCount_.store(count, std::memory_order_relaxed);
                if (observer_) observer_(count, cancel_);
            },
            &cancel_);
        // Runs on the window's thread; dropped if the window is gone.
        QMetaObject::invokeMethod(this, [this] { FinishSurvey(); }, Qt::QueuedConnection);
    });
}

void FilterBuilderDialog::ShowRunningCount() {
    valueLabel(ID_TOTAL_FILES)->setText(
        QString::fromStdString(FormatCount(runningCount_.load(std::memory_order_relaxed))));
}

void FilterBuilderDialog::FinishSurvey() {
    countTimer_->stop();
    if (worker_.joinable()) worker_.join();
    finished_ = true;
    if (cancel_.load() != 0) return;
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
    valueLabel(ID_TOTAL_FILES)->setText(QString::fromStdString(FormatCount(totalCount)));
    valueLabel(ID_CHECKED_FILES)->setText(QString::fromStdString(FormatCount(checkedCount)));
    valueLabel(ID_TOTAL_SIZE)->setText(QString::fromStdString(FormatSize(totalSize)));
    valueLabel(ID_CHECKED_SIZE)->setText(QString::fromStdString(FormatSize(checkedSize)));
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
    if (!worker_.joinable()) return;
    cancel_.store(1);
    worker_.join();
}

}  // namespace kivo
