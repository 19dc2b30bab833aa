#pragma once
// Shared pieces of the desktop tests: a private settings and data location
// per test function, store files written and read as bytes, and a dialog
// launcher that records what the main window asked to open.
#include <QTemporaryDir>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/FileSet.h"
#include "model/Operation.h"
#include "ui/main/WindowLauncher.h"

namespace kivo::test {

// Points the user and system settings scopes and the data folder into a
// fresh temporary folder for as long as it lives.
class IsolatedEnvironment {
public:
    IsolatedEnvironment();
    ~IsolatedEnvironment();
    QString path() const { return dir_.path(); }
    QString userSettingsFolder() const { return dir_.path() + "/config"; }
    QString systemSettingsFolder() const { return dir_.path() + "/system"; }

private:
    QTemporaryDir dir_;
    QByteArray oldDataHome_;
};

// Store contents, built byte by byte the way the files lay them out.
class StoreBytes {
public:
    StoreBytes& I32(std::int32_t value);
    StoreBytes& Str(const std::string& text);  // short strings only
    StoreBytes& Count(std::uint16_t value);
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// A set with one folder entry "/data/<name>", no patterns.
std::unique_ptr<FileSet> MakeSet(const std::string& name);
// Its bytes in the set store.
void AppendSetBytes(StoreBytes& out, const std::string& name);

std::unique_ptr<Operation> MakeOperation(int kind, const std::string& setName,
                                         FileTime lastRun = 0);
// Bytes of an operation made by MakeOperation.
void AppendOperationBytes(StoreBytes& out, int kind, const std::string& setName,
                          FileTime lastRun = 0);

std::string SetStoreFilePath();
std::string BindingStoreFilePath();
void WriteFile(const std::string& path, const std::string& bytes);
// The file's bytes; "<missing>" when it does not exist.
std::string ReadFile(const std::string& path);

void WriteStores(const std::vector<std::string>& setNames,
                 const std::vector<const Operation*>& operations);

struct LaunchRecord {
    std::string dialog;  // "CreateSet", "EditSet", "Bind", "Run", "ZipViewer", ...
    int kind = -1;
    std::string setName;
    bool saved = false;  // a saved operation was handed over / the record is not new
};

class RecordingLauncher : public WindowLauncher {
public:
    std::vector<LaunchRecord> calls;

    // What the next dialogs answer.
    bool answerOk = true;
    std::string nameToGive;       // CreateSet / EditSet / BindOperation write it
    FileTime lastRunToGive = 0;   // BindOperation writes it

    std::unique_ptr<FileSet> CreateSet(QWidget*, const std::vector<std::string>& names) override;
    bool EditSet(QWidget*, FileSet& set, const std::vector<std::string>& names) override;
    bool BindOperation(QWidget*, Operation& operation, bool isNew) override;
    bool RunOperation(QWidget*, int kind, const std::string& setName,
                      const Operation* saved) override;
    void ShowZipViewer(QWidget*) override { calls.push_back({"ZipViewer", -1, {}, false}); }
    void ShowAbout(QWidget*) override { calls.push_back({"About", -1, {}, false}); }
    void ShowConfigure(QWidget*) override { calls.push_back({"Configure", -1, {}, false}); }

    std::vector<std::string> lastNamesInUse;
};

}  // namespace kivo::test
