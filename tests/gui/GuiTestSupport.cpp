#include "GuiTestSupport.h"

#include <QSettings>
#include <QtGlobal>
#include <fstream>
#include <sstream>

#include "platform/Paths.h"

namespace kivo::test {

IsolatedEnvironment::IsolatedEnvironment() : oldDataHome_(qgetenv("XDG_DATA_HOME")) {
    qputenv("XDG_DATA_HOME", (dir_.path() + "/data").toUtf8());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, userSettingsFolder());
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, systemSettingsFolder());
}

IsolatedEnvironment::~IsolatedEnvironment() { qputenv("XDG_DATA_HOME", oldDataHome_); }

StoreBytes& StoreBytes::I32(std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<char>((v >> shift) & 0xFF));
    return *this;
}

StoreBytes& StoreBytes::Str(const std::string& text) {
    bytes_.push_back(static_cast<char>(text.size()));
    bytes_ += text;
    return *this;
}

StoreBytes& StoreBytes::Count(std::uint16_t value) {
    bytes_.push_back(static_cast<char>(value & 0xFF));
    bytes_.push_back(static_cast<char>(value >> 8));
    return *this;
}

std::unique_ptr<FileSet> MakeSet(const std::string& name) {
    auto set = std::make_unique<FileSet>();
    set->name = name;
    auto entry = std::make_unique<SetEntry>();
    entry->path = "/data/" + name;
    set->entries.push_back(std::move(entry));
    return set;
}

void AppendSetBytes(StoreBytes& out, const std::string& name) {
    out.Str(name).I32(1).Str("/data/" + name).Count(0).I32(1).I32(1);
}

std::unique_ptr<Operation> MakeOperation(int kind, const std::string& setName, FileTime lastRun) {
    auto operation = std::make_unique<Operation>();
    operation->kind = kind;
    operation->setName = setName;
    operation->destination = "/backup";
    operation->lastRun = lastRun;
    return operation;
}

void AppendOperationBytes(StoreBytes& out, int kind, const std::string& setName, FileTime lastRun) {
    out.I32(kind).Str(setName).Str("/backup").I32(0).I32(0).Str("").Str("").I32(0);
    out.I32(static_cast<std::int32_t>(lastRun >> 32)).I32(static_cast<std::int32_t>(lastRun));
    out.I32(0);
}

std::string SetStoreFilePath() { return SetStorePath(DataFolder()); }
std::string BindingStoreFilePath() { return BindingStorePath(DataFolder()); }

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteStores(const std::vector<std::string>& setNames,
                 const std::vector<const Operation*>& operations) {
    StoreBytes sets;
    sets.I32(static_cast<std::int32_t>(setNames.size()));
    for (const auto& name : setNames) AppendSetBytes(sets, name);
    WriteFile(SetStoreFilePath(), sets.bytes());
    StoreBytes ops;
    ops.I32(static_cast<std::int32_t>(operations.size()));
    for (const Operation* op : operations) AppendOperationBytes(ops, op->kind, op->setName, op->lastRun);
    WriteFile(BindingStoreFilePath(), ops.bytes());
}

std::unique_ptr<FileSet> RecordingLauncher::CreateSet(QWidget*, const std::vector<std::string>& names) {
    calls.push_back({"CreateSet", -1, nameToGive, false});
    lastNamesInUse = names;
    if (!answerOk) return nullptr;
    return MakeSet(nameToGive);
}

bool RecordingLauncher::EditSet(QWidget*, FileSet& set, const std::vector<std::string>& names) {
    calls.push_back({"EditSet", -1, set.name, true});
    lastNamesInUse = names;
    if (!answerOk) return false;
    set.name = nameToGive;
    return true;
}

bool RecordingLauncher::BindOperation(QWidget*, Operation& operation, bool isNew) {
    calls.push_back({"Bind", operation.kind, operation.setName, !isNew});
    if (!answerOk) return false;
    operation.setName = nameToGive;
    operation.lastRun = lastRunToGive;
    return true;
}

bool RecordingLauncher::RunOperation(QWidget*, int kind, const std::string& setName,
                                     const Operation* saved) {
    calls.push_back({"Run", kind, setName, saved != nullptr});
    return answerOk;
}

}  // namespace kivo::test
