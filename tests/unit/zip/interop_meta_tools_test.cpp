// Names, times, modes and links survive the way to and from the other zip
// tools: an archive made here, under one time zone, extracted by Info-ZIP
// unzip, 7-Zip, bsdtar and this program under another; and archives with
// links made by zip -y, 7zz -snl and bsdtar extracted here.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "model/FileSet.h"
#include "model/StringTable.h"
#include "platform/File.h"
#include "zip/ExtractRun.h"
#include "zip/ZipWorker.h"
#include "zip/format/ZipDirectory.h"
#include "zip/writer_support.h"

namespace kivo::zip {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

bool HaveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

int Shell(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Sets TZ for this process while in scope.
class Zone {
public:
    explicit Zone(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old, had_ = true;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~Zone() {
        if (had_) {
            ::setenv("TZ", old_.c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

private:
    std::string old_;
    bool had_ = false;
};

struct Node {
    std::string kind;  // "file", "link"
    unsigned mode = 0;
    std::time_t mtime = 0;
    std::string content;  // file bytes, or the link's target
};

// Every path below `root` (bytes as they are), with what it is.
std::map<std::string, Node> Scan(const std::string& root) {
    std::map<std::string, Node> out;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        const std::string path = item.path().string();
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        Node node;
        node.mode = st.st_mode & 07777;
        node.mtime = st.st_mtim.tv_sec;
        if (S_ISLNK(st.st_mode)) {
            node.kind = "link";
            node.content = fs::read_symlink(item.path()).string();
        } else {
            node.kind = "file";
            node.content = ReadFile(path);
        }
        out[path.substr(root.size() + 1)] = node;
    }
    return out;
}

// Past times on either side of the DOS epoch's reach, even seconds.
constexpr std::time_t kPast = 981173106;     // 2001-02-03 04:05:06 UTC
constexpr std::time_t kPastDst = 1185000000; // 2007-07-21, summer in both zones

void MakeTree(const std::string& root) {
    const std::vector<std::tuple<std::string, std::string, unsigned, std::time_t>> files = {
        {"tree/run.sh", "#!/bin/sh\necho run\n", 0755, kPast},
        {"tree/key", "private", 0600, kPastDst},
        {"tree/caf\xe9 latin1.txt", "latin-1 name", 0644, kPast},
        {"tree/Gr\xc3\xbc\xc3\x9f" "e/caf\xc3\xa9.txt", "utf-8 name", 0640, kPastDst},
    };
    for (const auto& [name, content, mode, time] : files) {
        const std::string path = root + "/" + name;
        WriteFile(path, content);
        ::chmod(path.c_str(), mode);
        const timespec times[2] = {{time, 0}, {time, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
}

RunResult ExtractAll(const std::string& archive, const std::string& target, RunSink& sink) {
    ZipDirectory directory;
    if (directory.Load(archive) == 0) return RunResult{RunEnd::Failed, "unreadable"};
    ExtractTask task;
    task.directory = &directory;
    task.targetFolder = target;
    for (const auto& e : directory.Entries()) task.pending.push_back(e.get());
    CancelFlag cancel{0};
    return RunExtraction(task, sink, cancel, nullptr);
}

class Notices : public RunSink {
public:
    void Notice(const std::string& text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

TEST(InteropMeta, MadeHereUnderBerlinExtractedUnderNewYorkByEachTool) {
    for (const char* tool : {"unzip", "7zz", "bsdtar"}) ASSERT_TRUE(HaveTool(tool)) << tool;
    TempDir dir;
    MakeTree(dir / "src");
    const std::string archive = dir / "kivo.zip";
    {
        Zone berlin("Europe/Berlin");
        auto set = std::make_unique<FileSet>();
        auto entry = std::make_unique<SetEntry>();
        entry->path = dir / "src/tree";
        set->entries.push_back(std::move(entry));
        CancelFlag cancel{0};
        RunSink sink;
        ASSERT_EQ(ZipWorker(set.get(), ZipJob{archive, ""}, cancel, sink).end, RunEnd::Done);
    }
    const unsigned umask = CurrentUmask();
    std::map<std::string, Node> expected = Scan(dir / "src");
    for (auto& [name, node] : expected) node.mode &= ~umask;

    const std::string ny = "TZ=America/New_York ";
    const std::map<std::string, std::string> commands = {
        {"unzip", ny + "unzip -q '" + archive + "' -d '" + dir / "unzip'"},
        {"7zz", ny + "7zz x -bd -y -o'" + dir / "7zz" + "' '" + archive + "'"},
        {"bsdtar", "mkdir -p '" + dir / "bsdtar'" + " && " + ny + "bsdtar -xf '" + archive +
                       "' -C '" + dir / "bsdtar'"},
    };
    for (const auto& [tool, command] : commands) {
        SCOPED_TRACE(tool);
        ASSERT_EQ(Shell(command), 0) << command;
        std::map<std::string, Node> got = Scan(dir / tool);
        for (auto& [name, node] : got) node.mode &= ~umask;
        ASSERT_EQ(got.size(), expected.size());
        for (const auto& [name, node] : expected) {
            SCOPED_TRACE(name);
            ASSERT_EQ(got.count(name), 1u);
            EXPECT_EQ(got[name].content, node.content);
            EXPECT_EQ(got[name].mtime, node.mtime);
            EXPECT_EQ(got[name].mode, node.mode);
        }
    }
    {
        Zone newYork("America/New_York");
        Notices sink;
        ASSERT_EQ(ExtractAll(archive, dir / "kivo", sink).end, RunEnd::Done);
        const std::map<std::string, Node> got = Scan(dir / "kivo");
        ASSERT_EQ(got.size(), expected.size());
        for (const auto& [name, node] : expected) {
            SCOPED_TRACE(name);
            ASSERT_EQ(got.count(name), 1u);
            EXPECT_EQ(got.at(name).content, node.content);
            EXPECT_EQ(got.at(name).mtime, node.mtime);
            EXPECT_EQ(got.at(name).mode, node.mode);
        }
    }
}

TEST(InteropMeta, LinksZippedByEachToolExtractedHere) {
    for (const char* tool : {"zip", "7zz", "bsdtar"}) ASSERT_TRUE(HaveTool(tool)) << tool;
    TempDir dir;
    const std::string src = dir / "src";
    MakeTree(src);
    ::chmod((src + "/tree/run.sh").c_str(), 04755);  // set-user-ID: never restored
    fs::create_directories(src + "/tree/d");
    fs::create_directories(src + "/tree/c");
    fs::create_symlink("../run.sh", src + "/tree/d/in");
    fs::create_symlink("../../../etc/passwd", src + "/tree/d/out");
    // Each link alone stays inside; m climbs out through l.
    fs::create_symlink("..", src + "/tree/c/l");
    fs::create_symlink("l/..", src + "/tree/c/m");
    const std::map<std::string, Node> source = Scan(src);
    const unsigned umask = CurrentUmask();

    const std::map<std::string, std::string> commands = {
        {"zip", "cd '" + src + "' && zip -q -y -r '" + dir / "zip.zip" + "' tree"},
        {"7zz", "cd '" + src + "' && 7zz a -bd -snl '" + dir / "7zz.zip" + "' tree"},
        {"bsdtar", "cd '" + src + "' && bsdtar -a -cf '" + dir / "bsdtar.zip" + "' tree"},
    };
    for (const auto& [tool, command] : commands) {
        SCOPED_TRACE(tool);
        ASSERT_EQ(Shell(command), 0) << command;
        Notices notices;
        {
            Zone newYork("America/New_York");
            ASSERT_EQ(ExtractAll(dir / (tool + ".zip"), dir / ("out-" + tool), notices).end,
                      RunEnd::Done);
        }
        const std::map<std::string, Node> got = Scan(dir / ("out-" + tool));
        ASSERT_EQ(got.size(), source.size());
        for (const auto& [name, node] : source) {
            SCOPED_TRACE(name);
            ASSERT_EQ(got.count(name), 1u);  // byte for byte
            const Node& out = got.at(name);
            const bool escapes = name == "tree/d/out" || name == "tree/c/m";
            EXPECT_EQ(out.content, node.content);
            if (node.kind == "link") {
                EXPECT_EQ(out.kind, escapes ? "file" : "link");
                continue;
            }
            EXPECT_EQ(out.kind, "file");
            EXPECT_EQ(out.mtime, node.mtime);
            EXPECT_EQ(out.mode, node.mode & 0777 & ~umask);
        }
        std::vector<std::string> sorted = notices.lines;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, (std::vector<std::string>{FormatText(IDS_NOTICE_LINK_AS_FILE, "tree/c/m"),
                                                    FormatText(IDS_NOTICE_LINK_AS_FILE, "tree/d/out")}));
    }
}

TEST(InteropMeta, EmptySetArchiveIsReadAsEmptyByTheTools) {
    TempDir dir;
    fs::create_directories(dir / "empty");
    auto set = std::make_unique<FileSet>();
    auto entry = std::make_unique<SetEntry>();
    entry->path = dir / "empty";
    set->entries.push_back(std::move(entry));
    CancelFlag cancel{0};
    RunSink sink;
    const std::string archive = dir / "empty.zip";
    ASSERT_EQ(ZipWorker(set.get(), ZipJob{archive, ""}, cancel, sink).end, RunEnd::Done);
    EXPECT_EQ(fs::file_size(archive), 22u);
    const std::string listing = dir / "7zz.txt";
    EXPECT_EQ(std::system(("7zz l -bd '" + archive + "' >'" + listing + "' 2>&1").c_str()), 0);
    EXPECT_NE(ReadFile(listing).find("0 files"), std::string::npos);
    EXPECT_EQ(Shell("python3 -c \"import sys, zipfile; sys.exit(len(zipfile.ZipFile(sys.argv[1]).namelist()))\" '" +
                  archive + "'"),
              0);
    ZipDirectory directory;
    EXPECT_EQ(directory.Load(archive), 1);
    EXPECT_TRUE(directory.Entries().empty());
}

}  // namespace
}  // namespace kivo::zip
