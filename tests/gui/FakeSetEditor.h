#pragma once
// A set editor stand-in for the choosers of the run and bind dialogs: it
// records the names it was opened with and answers as scripted.
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "model/FileSet.h"
#include "ui/main/WindowLauncher.h"

namespace kivo::test {

class FakeSetEditor : public WindowLauncher {
public:
    // Names "Create..." offered, in order.
    std::vector<std::string> createdNames;
    // Per "Create...": true confirms (OK when the queue ran out).
    std::deque<bool> createAnswers;
    // The entry path of confirmed new sets.
    std::string newSetPath = "/data/new";
    // "Property...": the name written on OK; empty answers Cancel.
    std::string renameTo;
    int editCount = 0;

    std::unique_ptr<FileSet> CreateNamedSet(QWidget*, const std::string& fixedName) override {
        createdNames.push_back(fixedName);
        bool ok = true;
        if (!createAnswers.empty()) {
            ok = createAnswers.front();
            createAnswers.pop_front();
        }
        if (!ok) return nullptr;
        auto set = std::make_unique<FileSet>();
        set->name = fixedName;
        auto entry = std::make_unique<SetEntry>();
        entry->path = newSetPath;
        set->entries.push_back(std::move(entry));
        return set;
    }

    bool EditSet(QWidget*, FileSet& set, const std::vector<std::string>&) override {
        ++editCount;
        if (renameTo.empty()) return false;
        set.name = renameTo;
        return true;
    }
};

}  // namespace kivo::test
