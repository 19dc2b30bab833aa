// What an entry means beyond its bytes: the UTC time of the extra fields,
// Unix modes, symbolic links (made only where they stay inside the target),
// names from the Unicode Path field, and folders swapped while a run acts.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "extract_support.h"
#include "model/StringTable.h"
#include "platform/Faults.h"
#include "platform/File.h"
#include "platform/FileTime.h"
#include "zip/ExtractEntry.h"
#include "zip/ExtractRun.h"
#include "zip/ExtractSession.h"

namespace kivo::zip {
namespace {

namespace fs = std::filesystem;
using test::Member;
using test::Put16;
using test::Put32;
using test::ReadFile;

constexpr std::uint16_t kUnixHost = 0x0314;  // host 3, version 2.0

// 2003-04-05 06:07:08 UTC; its DOS fields name another day on purpose.
constexpr std::uint32_t kUnixTime = 1049522828;
constexpr FileTime kTime = (kUnixTime + kEpochDifferenceSeconds) * kTicksPerSecond;

std::string ExtendedTimestamp(std::uint8_t flags, std::uint32_t mtime, std::size_t extraTimes = 0) {
    std::string data(1, static_cast<char>(flags));
    Put32(data, mtime);
    for (std::size_t i = 0; i < extraTimes; ++i) Put32(data, 12345);
    std::string field;
    Put16(field, 0x5455);
    Put16(field, static_cast<std::uint16_t>(data.size()));
    return field + data;
}

std::string NtfsField(FileTime mtime) {
    std::string data(4, '\0');
    Put16(data, 1);
    Put16(data, 24);
    for (FileTime t : {mtime, FileTime{1}, FileTime{2}}) {
        Put32(data, static_cast<std::uint32_t>(t));
        Put32(data, static_cast<std::uint32_t>(t >> 32));
    }
    std::string field;
    Put16(field, 0x000a);
    Put16(field, static_cast<std::uint16_t>(data.size()));
    return field + data;
}

std::string InfoZipUnixField(std::uint32_t mtime) {
    std::string field;
    Put16(field, 0x5855);
    Put16(field, 8);
    Put32(field, 1);  // access time
    Put32(field, mtime);
    return field;
}

std::string UnicodePath(const std::string& utf8, const std::string& headerName) {
    std::string field;
    Put16(field, 0x7075);
    Put16(field, static_cast<std::uint16_t>(5 + utf8.size()));
    field += '\x01';
    Put32(field, test::CrcOf(headerName));
    return field + utf8;
}

Member UnixMember(const std::string& name, const std::string& content, std::uint32_t mode) {
    Member m(name, content);
    m.madeBy = kUnixHost;
    m.externalAttributes = mode << 16;
    return m;
}

FileTime MtimeOf(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return 0;
    return FileTimeFromTimespec(st.st_mtim);
}

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

class Notices : public RunSink {
public:
    void Notice(const std::string& text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

class ExtractMeta : public ::testing::Test, public test::ExtractFixture {
protected:
    // Extracts every entry as one run; the run's end.
    RunResult RunAll() {
        ExtractTask task;
        task.directory = &directory_;
        task.targetFolder = Target();
        for (const auto& e : directory_.Entries()) task.pending.push_back(e.get());
        CancelFlag cancel{0};
        return RunExtraction(task, notices_, cancel, nullptr);
    }
    std::string At(const std::string& rel) const { return Target() + "/" + rel; }
    Notices notices_;
};

TEST_F(ExtractMeta, TimeFromTheFirstUtcFieldThereElseTheDosFields) {
    struct Case {
        const char* name;
        std::string central, local;
        FileTime listed;    // what the directory shows
        FileTime written;   // what the extracted file gets
    };
    const FileTime dos = DosFieldsToFileTime(0x5A8C, 0x6C2A);
    const FileTime other = kTime + 3600 * kTicksPerSecond;
    const std::vector<Case> cases = {
        // Info-ZIP's central field: flags 3, the modification time alone.
        {"zip.txt", ExtendedTimestamp(3, kUnixTime), ExtendedTimestamp(3, kUnixTime, 1), kTime, kTime},
        // bsdtar's: flags 7 with 13 bytes of data.
        {"bsdtar.txt", ExtendedTimestamp(7, kUnixTime, 2), "", kTime, kTime},
        // Only the local header says it: the file gets it.
        {"local.txt", "", ExtendedTimestamp(1, kUnixTime), dos, kTime},
        // Flag bit 0 clear: no modification time in it.
        {"noflag.txt", ExtendedTimestamp(2, kUnixTime), "", dos, dos},
        // The extended timestamp wins over NTFS's, NTFS's over Info-ZIP Unix's.
        {"both.txt", NtfsField(other) + ExtendedTimestamp(1, kUnixTime), "", kTime, kTime},
        {"ntfs.txt", InfoZipUnixField(1) + NtfsField(other), "", other, other},
        {"unix.txt", InfoZipUnixField(kUnixTime), "", kTime, kTime},
        // A field cut short by its size gives nothing.
        {"short.txt", std::string("\x55\x54\x03\x00\x01\x02\x03", 7), "", dos, dos},
        {"dos.txt", "", "", dos, dos},
    };
    std::vector<Member> members;
    for (const Case& c : cases) {
        Member m(c.name, "data");
        m.centralExtra = c.central;
        m.localExtra = c.local;
        members.push_back(m);
    }
    ASSERT_TRUE(Load(members));
    ASSERT_EQ(RunAll().end, RunEnd::Done);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Entry(c.name).time, c.listed);
        EXPECT_EQ(MtimeOf(At(c.name)), c.written);
    }
}

TEST_F(ExtractMeta, UnixModesKeepThePermissionBitsOnlyLimitedByTheUmask) {
    const unsigned umask = CurrentUmask();
    struct Case {
        Member member;
        unsigned expected;
    };
    Member dosMade("dos.txt", "d");
    dosMade.externalAttributes = 0x01;  // read-only on a DOS host: not a mode
    Member typeless = UnixMember("typeless.txt", "t", 0);
    const std::vector<Case> cases = {
        {UnixMember("script.sh", "#!/bin/sh\n", 0100755), 0755 & ~umask},
        {UnixMember("private.key", "k", 0100600), 0600 & ~umask},
        {UnixMember("setuid", "s", 0104755), 0755 & ~umask},
        {UnixMember("sticky", "s", 0103777), 0777 & ~umask},
        {UnixMember("open", "o", 0100666), 0666 & ~umask},
        {dosMade, 0666 & ~umask},
        {typeless, 0666 & ~umask},
    };
    std::vector<Member> members;
    for (const Case& c : cases) members.push_back(c.member);
    // A read-only folder gets its mode after the file inside it is written.
    members.push_back(UnixMember("locked/", "", 040555));
    members.push_back(UnixMember("locked/inner.txt", "i", 0100640));
    ASSERT_TRUE(Load(members));
    ASSERT_EQ(RunAll().end, RunEnd::Done);
    for (const Case& c : cases) EXPECT_EQ(ModeOf(At(c.member.name)), c.expected) << c.member.name;
    EXPECT_EQ(ReadFile(At("locked/inner.txt")), "i");
    EXPECT_EQ(ModeOf(At("locked/inner.txt")), 0640 & ~umask);
    EXPECT_EQ(ModeOf(At("locked")), 0555 & ~umask);
    ::chmod(At("locked").c_str(), 0755);  // so the scratch folder can go
}

TEST_F(ExtractMeta, LinksInsideAreMadeOthersAreFilesWithANotice) {
    const std::uint32_t link = 0120777;
    // A link already in the target counts as a step out too.
    fs::create_directories(At("tree/x"));
    fs::create_symlink("/", At("tree/x/root"));
    ASSERT_TRUE(Load({
        UnixMember("tree/run.sh", "#!/bin/sh\n", 0100755),
        UnixMember("tree/d/in", "../run.sh", link),
        UnixMember("tree/d/self", ".", link),
        UnixMember("tree/d/up", "../../tree", link),
        UnixMember("tree/d/out", "../../..", link),
        UnixMember("tree/d/abs", "/etc/passwd", link),
        UnixMember("tree/c/l", "..", link),
        UnixMember("tree/c/m", "l/..", link),
        UnixMember("tree/e/m", "l/../..", link),
        UnixMember("tree/e/l", "..", link),
        UnixMember("tree/x/via", "root/etc", link),
        // A DOS-made entry with link bits is no link.
        [] {
            Member m("tree/dos", "run.sh");
            m.externalAttributes = 0120777u << 16;
            return m;
        }(),
    }));
    ASSERT_EQ(RunAll().end, RunEnd::Done);

    for (const char* name : {"tree/d/in", "tree/d/self", "tree/d/up", "tree/c/l", "tree/e/l"}) {
        EXPECT_TRUE(fs::is_symlink(At(name))) << name;
    }
    EXPECT_EQ(fs::read_symlink(At("tree/d/in")), "../run.sh");
    EXPECT_EQ(ReadFile(At("tree/d/in")), "#!/bin/sh\n");
    std::vector<std::string> asFiles = {"tree/d/out", "tree/d/abs", "tree/c/m", "tree/e/m", "tree/x/via"};
    for (const std::string& name : asFiles) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(fs::is_symlink(At(name)));
        EXPECT_TRUE(fs::is_regular_file(At(name)));
        EXPECT_EQ(std::count(notices_.lines.begin(), notices_.lines.end(),
                             FormatText(IDS_NOTICE_LINK_AS_FILE, name)),
                  1);
    }
    EXPECT_EQ(ReadFile(At("tree/d/abs")), "/etc/passwd");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(At("tree/dos"))));
    EXPECT_EQ(notices_.lines.size(), asFiles.size());
}

TEST_F(ExtractMeta, LinksAreMadeAfterEveryFileSoNoneIsWrittenThroughOne) {
    // The link comes first in the archive; the file below the same name
    // lands in a real folder inside the target, not through the link, and
    // the link cannot take that folder's place afterwards.
    ASSERT_TRUE(Load({
        UnixMember("a/sub", "../b", 0120777),
        UnixMember("b/", "", 040755),
        UnixMember("a/sub/f.txt", "data", 0100644),
    }));
    const RunResult result = RunAll();
    EXPECT_EQ(result.end, RunEnd::Failed);
    EXPECT_EQ(result.errorText, FormatText(IDS_EXTRACT_FAILED, "a/sub",
                                            ExtractReasonText(kExtractCannotCreate)));
    EXPECT_EQ(ReadFile(At("a/sub/f.txt")), "data");
    EXPECT_FALSE(fs::is_symlink(At("a/sub")));
    EXPECT_TRUE(fs::is_empty(At("b")));
}

TEST_F(ExtractMeta, NamesFromUnicodePathFieldsAndUnixBytes) {
    const std::string latin1 = "caf\xe9.txt";
    Member matching(latin1, "matching");
    matching.centralExtra = UnicodePath("Matched \xc3\xa9.txt", latin1);
    Member stale("stale\xe9.txt", "stale");
    stale.centralExtra = UnicodePath("other.txt", "renamed by another tool");
    Member escaping("safe.txt", "escaping");
    escaping.centralExtra = UnicodePath("../escaped.txt", "safe.txt");
    Member unixBytes = UnixMember(latin1, "unix", 0100644);
    unixBytes.name = "u" + latin1;
    Member dosBytes("d" + latin1, "dos");  // MS-DOS host: code page 437
    ASSERT_TRUE(Load({matching, stale, escaping, unixBytes, dosBytes}));
    // A stale field is ignored: the header's bytes, as an MS-DOS name.
    for (const std::string& name : std::vector<std::string>{"Matched \xc3\xa9.txt", "stale\xce\x98.txt", "../escaped.txt",
                                   "u" + latin1, "dcaf\xce\x98.txt"}) {
        EXPECT_NO_THROW(Entry(name)) << name;
    }
    ZipProgress progress;
    for (const auto& e : directory_.Entries()) {
        const int code = ExtractEntry(*e, directory_.ArchiveFile(), Target(), "", nullptr,
                                      progress, false);
        const bool escapes = e->name.rfind("../", 0) == 0;
        EXPECT_EQ(code, escapes ? kExtractCannotCreate : kExtractOk) << e->name;
    }
    EXPECT_EQ(ReadFile(At("Matched \xc3\xa9.txt")), "matching");
    EXPECT_EQ(ReadFile(At("u" + latin1)), "unix");  // byte for byte
    EXPECT_FALSE(fs::exists(scratch_ / "escaped.txt"));
}

// A checksum of a tree: every path, kind, mode and content.
std::string TreeState(const std::string& root) {
    std::vector<std::string> lines;
    for (const auto& p : fs::recursive_directory_iterator(root)) {
        const std::string path = p.path().string();
        std::string line = path.substr(root.size()) + " " + std::to_string(ModeOf(path));
        if (fs::is_regular_file(fs::symlink_status(p.path()))) line += " " + ReadFile(path);
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

TEST_F(ExtractMeta, FolderSwappedBetweenCheckAndActFailsTheEntryAndSparesTheVictim) {
    const std::string victim = scratch_ / "victim";
    for (const bool swapForLink : {true, false}) {
        SCOPED_TRACE(swapForLink ? "link" : "another folder");
        fs::remove_all(Target());
        fs::remove_all(victim);
        fs::create_directories(Target());
        // The victim holds the names the archive writes.
        test::WriteFile(victim + "/f.txt", "victim's own");
        test::WriteFile(victim + "/g.txt", "victim's g");
        const std::string before = TreeState(victim);
        ASSERT_TRUE(Load({{"d/f.txt", "archive's f"}, {"d/g.txt", "archive's g"}}));
        SetExtractActHookForTesting([&](const std::string& name) {
            if (name != "d/f.txt") return;
            fs::rename(At("d"), scratch_ / "moved-away");
            if (swapForLink) {
                fs::create_directory_symlink(victim, At("d"));
            } else {
                fs::rename(victim, At("d"));
            }
        });
        ExtractTask task;
        task.directory = &directory_;
        task.targetFolder = Target();
        for (const auto& e : directory_.Entries()) task.pending.push_back(e.get());
        CancelFlag cancel{0};
        const RunResult result = RunExtraction(task, notices_, cancel, nullptr);
        SetExtractActHookForTesting(nullptr);
        EXPECT_EQ(result.end, RunEnd::Failed);
        EXPECT_EQ(result.errorText, FormatText(IDS_EXTRACT_FAILED, "d/f.txt",
                                                ExtractReasonText(kExtractCannotCreate)));
        ASSERT_FALSE(task.pending.empty());
        EXPECT_EQ(task.pending.front()->name, "d/f.txt");
        if (!swapForLink) fs::rename(At("d"), victim);
        EXPECT_EQ(TreeState(victim), before);
        // Nothing landed in the folder that was moved away either.
        EXPECT_TRUE(fs::is_empty(scratch_ / "moved-away"));
        fs::remove_all(scratch_ / "moved-away");
    }
}

TEST_F(ExtractMeta, FilesArePrivateWhileWrittenAndNamedOnlyWhenComplete) {
    const unsigned umask = CurrentUmask();
    ASSERT_TRUE(Load({{"big.bin", std::string(300000, 'b')}, {"sub/new.txt", "new"}}));
    test::WriteFile(At("big.bin"), "older");
    // While the entry is being written: no new name in the target, the
    // data in a file only its owner can read, the older file untouched.
    std::vector<unsigned> modesSeen;
    std::vector<std::string> namesSeen;
    std::size_t oldIntact = 0;
    SetExtractActHookForTesting([&](const std::string&) {
        namesSeen.clear();
        for (const auto& p : fs::recursive_directory_iterator(Target()))
            namesSeen.push_back(p.path().string().substr(Target().size() + 1));
        std::sort(namesSeen.begin(), namesSeen.end());
        for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            const std::string to = fs::read_symlink(fd.path(), error).string();
            if (error || to.rfind(Target() + "/", 0) != 0 || to.find("(deleted)") == std::string::npos)
                continue;
            struct stat st {};
            if (::stat(fd.path().c_str(), &st) == 0) modesSeen.push_back(st.st_mode & 0777);
        }
        oldIntact += ReadFile(At("big.bin")) == "older";
    });
    ASSERT_EQ(RunAll().end, RunEnd::Done);
    SetExtractActHookForTesting(nullptr);
    // The hook runs after the final mode is set: the unnamed file carries
    // it, and it never had a name before.
    EXPECT_EQ(modesSeen, (std::vector<unsigned>{0666 & ~umask, 0666 & ~umask}));
    EXPECT_EQ(namesSeen, (std::vector<std::string>{"big.bin", "sub"}));
    EXPECT_EQ(oldIntact, 1u);  // replaced only when the new one was complete
    EXPECT_EQ(ModeOf(At("big.bin")), 0666 & ~umask);
    EXPECT_EQ(ModeOf(At("sub/new.txt")), 0666 & ~umask);
}

TEST_F(ExtractMeta, TemporaryIsOwnerOnlyFromItsCreation) {
    ASSERT_TRUE(Load({UnixMember("open.txt", std::string(100000, 'o'), 0100666)}));
    // At the first write the data has no other reader than its owner.
    std::vector<unsigned> modes;
    faults::SetObserverForTesting([&](faults::Call call, const char* path) {
        if (call != faults::Call::Write || std::string(path) != At("open.txt")) return;
        for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
            char to[4096];
            const ssize_t n = ::readlink(fd.path().c_str(), to, sizeof to - 1);
            if (n <= 0) continue;
            const std::string link(to, static_cast<std::size_t>(n));
            if (link.rfind(Target() + "/", 0) != 0) continue;
            struct stat st {};
            if (::stat(fd.path().c_str(), &st) == 0 && S_ISREG(st.st_mode)) modes.push_back(st.st_mode & 0777);
        }
    });
    ASSERT_EQ(RunAll().end, RunEnd::Done);
    faults::SetObserverForTesting(nullptr);
    ASSERT_FALSE(modes.empty());
    for (const unsigned mode : modes) EXPECT_EQ(mode, 0600u);
    EXPECT_EQ(ModeOf(At("open.txt")), 0666 & ~CurrentUmask());
}

TEST_F(ExtractMeta, DeepNamesExtractLevelByLevel) {
    std::string name;
    for (int i = 0; i < 2000; ++i) name += "d/";
    ASSERT_TRUE(Load({{name + "leaf.txt", "deep"}}));
    ASSERT_EQ(directory_.Entries().size(), 2001u);
    ASSERT_EQ(RunAll().end, RunEnd::Done);
    // Walked down by handles: no path of that length is ever used.
    int fd = ::open(Target().c_str(), O_DIRECTORY);
    for (int i = 0; i < 2000 && fd >= 0; ++i) {
        const int next = ::openat(fd, "d", O_DIRECTORY | O_NOFOLLOW);
        ::close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    struct stat st {};
    EXPECT_EQ(::fstatat(fd, "leaf.txt", &st, 0), 0);
    EXPECT_EQ(st.st_size, 4);
    ::close(fd);
}

}  // namespace
}  // namespace kivo::zip
