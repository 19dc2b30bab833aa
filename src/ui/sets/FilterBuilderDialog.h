#pragma once
// The Filter Builder: surveys the files under the chosen folders, one row
// per extension, and turns the checked rows into filter patterns ("*.ext").
// The survey runs on a worker thread so the window stays responsive; Cancel
// stops it and closes the window.
#include <QDialog>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "report/RunSink.h"

class QLabel;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace kivo {

class FileTypeSurvey;

class FilterBuilderDialog : public QDialog {
    Q_OBJECT

public:
    FilterBuilderDialog(std::vector<std::string> folders, bool includeSubfolders,
                        QWidget* parent = nullptr);
    ~FilterBuilderDialog() override;

    // After OK: "*.<ext>" for each checked row, in display order.
    const std::vector<std::string>& patterns() const { return patterns_; }
    bool surveying() const { return worker_.joinable() && !finished_; }

    QWidget* control(int id) const;
    QPushButton* button(int id) const;
    QLabel* valueLabel(int id) const;
    QTreeWidget* typeList() const { return list_; }

    // Called on the worker thread after every file counted, with the
    // running count and the dialog's cancel flag. Lets a caller watch the
    // survey from inside; set it before the survey starts.
    using FileObserver = std::function<void(std::uint64_t count, const CancelFlag& cancel)>;
    void SetFileObserver(FileObserver observer) { observer_ = std::move(observer); }

    void accept() override;
    void reject() override;

signals:
    // The survey has ended and the rows and totals are shown.
    void surveyFinished();

public slots:
    // Starts the survey now instead of after the start delay.
    void StartSurvey();
    void CheckAll();
    void ReverseCheck();
    // A click on a column header.
    void SortByColumn(int column);

private:
    void CreateControls();
    void ConnectCommands();
    void ShowRunningCount();
    void FinishSurvey();
    void RefreshTotals();
    void StopWorker();

    std::vector<std::string> folders_;
    bool includeSubfolders_;
    std::map<int, QWidget*> controls_;
    QTreeWidget* list_ = nullptr;
    QTimer* startTimer_ = nullptr;
    QTimer* countTimer_ = nullptr;

    std::unique_ptr<FileTypeSurvey> survey_;
    std::thread worker_;
    CancelFlag cancel_{0};
    std::atomic<std::uint64_t> runningCount_{0};
    FileObserver observer_;
    bool finished_ = false;

    bool ascending_ = false;  // direction of the last sort
    std::vector<std::string> patterns_;
};

}  // namespace kivo
