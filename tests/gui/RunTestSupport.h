#pragma once
// Pieces of the run dialog tests: real sets on disk in the store, and a
// hand on the run dialog that a modal loop shows.
#include <QApplication>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "model/FileSet.h"
#include "model/Operation.h"
#include "model/OperationList.h"
#include "model/SetList.h"
#include "ui/run/RunDialogBase.h"

namespace kivo::test {

// Stores sets, each with one folder entry, and the operations.
inline void StoreSets(const std::vector<std::pair<std::string, std::string>>& namesAndFolders,
                      const std::string& storePath) {
    SetList list;
    for (const auto& [name, folder] : namesAndFolders) {
        auto set = std::make_unique<FileSet>();
        set->name = name;
        auto entry = std::make_unique<SetEntry>();
        entry->path = folder;
        set->entries.push_back(std::move(entry));
        list.sets.push_back(std::move(set));
    }
    list.Save(storePath);
}

// Calls `act` once with the run dialog a modal loop shows, as soon as
// `ready` holds for it; gives up (rejecting whatever is modal) after
// `limitMs`, so a test fails instead of hanging.
class WhenRunDialog : public QObject {
public:
    WhenRunDialog(std::function<bool(RunDialogBase*)> ready, std::function<void(RunDialogBase*)> act,
                  int limitMs = 20000)
        : ready_(std::move(ready)), act_(std::move(act)), limitMs_(limitMs) {
        connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start(5);
    }
    bool acted() const { return acted_; }
    bool timedOut() const { return timedOut_; }

private:
    void Poll() {
        auto* dialog = qobject_cast<RunDialogBase*>(QApplication::activeModalWidget());
        elapsed_ += 5;
        if (dialog != nullptr && !acted_ && ready_(dialog)) {
            acted_ = true;
            act_(dialog);
        }
        if (elapsed_ > limitMs_) {
            timedOut_ = true;
            timer_.stop();
            if (dialog != nullptr) dialog->done(QDialog::Rejected);
        }
    }
    std::function<bool(RunDialogBase*)> ready_;
    std::function<void(RunDialogBase*)> act_;
    int limitMs_;
    int elapsed_ = 0;
    bool acted_ = false;
    bool timedOut_ = false;
    QTimer timer_;
};

}  // namespace kivo::test
