// zip, list, unzip and survey: the viewer's columns, the three ways of
// choosing what to extract, passwords from every source, and the survey's
// rows and totals.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <map>

#include "../unit/zip/reader_ArchiveBytes.h"
#include "CliFixture.h"

namespace kivo::clitest {
namespace {

class ArchiveCommands : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        WriteFile("docs/a.txt", "alpha");
        WriteFile("docs/sub/b.txt", "beta beta");
        WriteFile("docs/sub/deeper/c.txt", "gamma");
        WriteFile("pw", "open sesame\n");
        // An even second: zip times have a two-second step.
        for (const char* file : {"docs/a.txt", "docs/sub/b.txt", "docs/sub/deeper/c.txt"}) {
            const timespec times[2] = {{kSeconds, 0}, {kSeconds, 0}};
            ASSERT_EQ(utimensat(AT_FDCWD, At(file).c_str(), times, 0), 0);
        }
        CliOk({"set-add", "Docs", At("docs")});
    }

    static std::string LocalText(std::time_t seconds) {
        std::tm parts{};
        localtime_r(&seconds, &parts);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
        return text;
    }

    static std::string CrcOf(const std::string& data) {
        char text[16];
        std::snprintf(text, sizeof text, "%08lx",
                      crc32(0, reinterpret_cast<const Bytef*>(data.data()),
                            static_cast<uInt>(data.size())));
        return text;
    }

    std::vector<std::string> SortedListing(const std::string& archive) const {
        std::vector<std::string> lines = Lines(CliOk({"list", archive}).out);
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    std::vector<std::string> FilesUnder(const std::string& folder) const {
        std::vector<std::string> files;
        for (const auto& item : fs::recursive_directory_iterator(folder)) {
            if (item.is_regular_file()) files.push_back(fs::relative(item.path(), folder).string());
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    static constexpr std::time_t kSeconds = 1715000000;  // even
};

TEST_F(ArchiveCommands, ListShowsTheViewersColumns) {
    CliOk({"zip", "Docs", At("plain.zip")});
    CliOk({"zip", "Docs", At("locked.zip"), "--password-file", At("pw")});
    CliOk({"zip", "Docs", At("aes.zip"), "--aes", "--password-file", At("pw")});
    const std::string when = LocalText(kSeconds);
    const std::vector<std::string> plain = {
        "docs/\t\t\t\t-",
        "docs/a.txt\t5\t" + when + "\t" + CrcOf("alpha") + "\t-",
        "docs/sub/\t\t\t\t-",
        "docs/sub/b.txt\t9\t" + when + "\t" + CrcOf("beta beta") + "\t-",
        "docs/sub/deeper/\t\t\t\t-",
        "docs/sub/deeper/c.txt\t5\t" + when + "\t" + CrcOf("gamma") + "\t-",
    };
    EXPECT_EQ(SortedListing(At("plain.zip")), plain);
    for (const auto& [archive, method] :
         {std::pair{"locked.zip", "zipcrypto"}, std::pair{"aes.zip", "aes-256"}}) {
        for (const std::string& line : SortedListing(At(archive))) {
            const bool folder = line.find("/\t") != std::string::npos;
            EXPECT_EQ(Fields(line).back(), folder ? "-" : method) << line;
        }
    }
    CliOk({"unzip", At("aes.zip"), At("aes-out"), "--password-file", At("pw")});
    EXPECT_EQ(ReadBytes(At("aes-out/docs/sub/deeper/c.txt")), "gamma");
    // AES needs a password to encrypt with.
    const CliResult noPassword = Cli({"zip", "Docs", At("none.zip"), "--aes"});
    EXPECT_EQ(noPassword.status, 2);
    EXPECT_FALSE(fs::exists(At("none.zip")));
}

// What other tools write and this program does not read: the method is
// named on standard error, strong encryption gets its own message.
TEST_F(ArchiveCommands, UnreadableMethodsAndStrongEncryptionSayWhy) {
    test::Member ppmd("p.txt", "not really PPMd", 98);
    test::Member strong("s.txt", "strongly encrypted", zip::kMethodStored);
    strong.flags = 0x0041;
    WriteFile("ppmd.zip", test::BuildArchive({ppmd}).bytes);
    WriteFile("strong.zip", test::BuildArchive({strong}).bytes);
    const std::vector<std::string> listed = Lines(CliOk({"list", At("strong.zip")}).out);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(Fields(listed[0]).back(), "strong");

    const CliResult unzipped = Cli({"unzip", At("ppmd.zip"), At("out")});
    EXPECT_EQ(unzipped.status, 1);
    EXPECT_NE(unzipped.err.find("Unknow zip file format or compress method."), std::string::npos);
    EXPECT_NE(unzipped.err.find("Unsupported compression method 98 (PPMd): p.txt\n"),
              std::string::npos)
        << unzipped.err;
    const CliResult refused = Cli({"unzip", At("strong.zip"), At("out"), "--password-file", At("pw")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("Unsupported encryption"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.err.find("Incorrect password."), std::string::npos) << refused.err;
    EXPECT_TRUE(FilesUnder(At("out")).empty());
}

TEST_F(ArchiveCommands, TestChecksEveryEntryWithoutWriting) {
    CliOk({"zip", "Docs", At("good.zip")});
    CliOk({"zip", "Docs", At("aes.zip"), "--aes", "--password-file", At("pw")});
    // Everything but the runner's own capture files.
    const auto files = [this] {
        std::vector<std::string> out;
        for (const std::string& f : FilesUnder(At("")))
            if (f.rfind("scratch/", 0) != 0 && f != "flipped.zip" && f != "wrong") out.push_back(f);
        return out;
    };
    const auto before = files();
    EXPECT_EQ(CliOk({"test", At("good.zip")}).out, "");
    EXPECT_EQ(CliOk({"test", At("aes.zip"), "--password-file", At("pw")}).out, "");

    // A flipped byte in b.txt's data, found by its bytes in the archive.
    std::string bytes = ReadBytes(At("good.zip"));
    const std::size_t name = bytes.find("docs/sub/b.txt");
    ASSERT_NE(name, std::string::npos);
    // The data follows the name and the local extra field.
    const std::size_t extra = static_cast<unsigned char>(bytes[name - 2]) |
                              static_cast<unsigned char>(bytes[name - 1]) << 8;
    bytes[name + 14 + extra + 2] ^= 0x20;
    WriteFile("flipped.zip", bytes);
    const CliResult flipped = Cli({"test", At("flipped.zip")});
    EXPECT_EQ(flipped.status, 1);
    const std::vector<std::string> lines = Lines(flipped.out);
    ASSERT_EQ(lines.size(), 1u) << flipped.out;
    EXPECT_EQ(Fields(lines[0]).front(), "docs/sub/b.txt");
    EXPECT_TRUE(lines[0].find("CRC error.") != std::string::npos ||
                lines[0].find("Unknow zip file format or compress method.") != std::string::npos)
        << lines[0];

    WriteFile("wrong", "not it\n");
    const CliResult wrong = Cli({"test", At("aes.zip"), "--password-file", At("wrong")});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(Lines(wrong.out).size(), 3u) << wrong.out;  // the three files
    for (const std::string& line : Lines(wrong.out)) {
        EXPECT_EQ(Fields(line).back(), "Incorrect password.") << line;
    }
    EXPECT_EQ(files(), before);
}

TEST_F(ArchiveCommands, AnEmptySetGivesAnArchiveThatListsAndExtractsAsEmpty) {
    fs::create_directories(At("nothing"));
    CliOk({"set-add", "Nothing", At("nothing")});
    CliOk({"zip", "Nothing", At("empty.zip")});
    EXPECT_EQ(ReadBytes(At("empty.zip")), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    EXPECT_EQ(CliOk({"list", At("empty.zip")}).out, "");
    CliOk({"unzip", At("empty.zip"), At("out")});
    EXPECT_TRUE(fs::is_directory(At("out")));
    EXPECT_TRUE(fs::is_empty(At("out")));
    for (const char* tool : {"7zz l -bd", "python3 -m zipfile -l"}) {
        const std::string command = std::string(tool) + " '" + At("empty.zip") + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << tool;
    }
}

TEST_F(ArchiveCommands, ListShowsWhereALinkPointsWhenItCanBeRead) {
    auto link = [](const std::string& name, const std::string& target, const std::string& password) {
        test::Member m(name, target);
        m.madeBy = 0x0314;  // Unix
        m.externalAttributes = 0120777u << 16;
        m.password = password;
        return m;
    };
    WriteFile("links.zip", test::BuildArchive({link("d/in", "../a.txt", ""),
                                                link("d/secret", "../hidden", "pw"),
                                                {"d/plain", "../a.txt"}})
                               .bytes);
    const std::vector<std::string> lines = Lines(CliOk({"list", At("links.zip")}).out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(Fields(lines[1])[0], "d/in -> ../a.txt");
    EXPECT_EQ(Fields(lines[2])[0], "d/secret");  // not without its password
    EXPECT_EQ(Fields(lines[3])[0], "d/plain");   // made on MS-DOS: a file
}

TEST_F(ArchiveCommands, AKilledUnzipOrZipLeavesNoFileUnderItsNameAndNoTemporary) {
    // Large enough that the kill lands while the data is written.
    std::string big(64 << 20, '\0');
    for (std::size_t i = 0; i < big.size(); i += 4096) big[i] = static_cast<char>(i >> 12);
    WriteFile("large/big.bin", big);
    CliOk({"set-add", "Large", At("large")});
    CliOk({"zip", "Large", At("whole.zip")});
    auto leftovers = [](const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& item : fs::recursive_directory_iterator(folder))
            names.push_back(item.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        fs::remove_all(At("out"));
        fs::create_directories(At("out"));
        {
            CliProcess unzip(scratch_, {"--data-dir", DataDir(), "-q", "unzip", At("whole.zip"), At("out")});
            // Killed once its unnamed file holds data.
            for (int i = 0; i < 2000 && !unzip.HasExited(); ++i) {
                bool writing = false;
                for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(unzip.pid()) + "/fd")) {
                    std::error_code error;
                    const std::string to = fs::read_symlink(fd.path(), error).string();
                    if (!error && to.rfind(At("out") + "/", 0) == 0 && fs::file_size(fd.path(), error) > (1 << 20) && !error)
                        writing = true;
                }
                if (writing) break;
                usleep(1000);
            }
            unzip.Signal(SIGKILL);
            unzip.Wait();
        }
        const auto names = leftovers(At("out"));
        // Either nothing yet, or only the folder; never big.bin in part.
        for (const std::string& name : names) EXPECT_EQ(name, "large") << name;
        if (fs::exists(At("out/large/big.bin"))) {
            EXPECT_EQ(fs::file_size(At("out/large/big.bin")), big.size());
        }

        fs::remove(At("again.zip"));
        {
            CliProcess zip(scratch_, {"--data-dir", DataDir(), "-q", "zip", "Large", At("again.zip")});
            usleep(static_cast<useconds_t>(100000 + round * 150000));
            zip.Signal(SIGKILL);
            zip.Wait();
        }
        for (const auto& item : fs::directory_iterator(root_)) {
            const std::string name = item.path().filename().string();
            EXPECT_TRUE(name.find("again.zip") == std::string::npos || name == "again.zip") << name;
        }
        // Named only when complete: a complete archive or none.
        if (fs::exists(At("again.zip"))) {
            EXPECT_TRUE(ReadBytes(At("again.zip")) == ReadBytes(At("whole.zip")));
        }
    }
}

TEST_F(ArchiveCommands, AnUnreadableArchiveExitsOneWithTheViewersMessage) {
    WriteFile("bad.zip", "this is not a zip archive at all, not even close to one");
    // A Zip64 record counting three entries beside a classic record
    // counting the two there are: never a partial listing.
    auto disagreeing = test::BuildArchive({{"a.txt", "a"}, {"b.txt", "b"}});
    test::UseZip64End(disagreeing, false);
    test::Patch32(disagreeing.bytes, disagreeing.zip64Offset + 32, 3);
    WriteFile("zip64.zip", disagreeing.bytes);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list", At("bad.zip")}, {"list", At("missing.zip")},
          {"unzip", At("bad.zip"), At("out")}, {"list", At("zip64.zip")},
          {"unzip", At("zip64.zip"), At("out")}}) {
        const CliResult result = Cli(args);
        EXPECT_EQ(result.status, 1) << args[1];
        EXPECT_EQ(result.out, "") << args[1];
        EXPECT_EQ(result.err, "Sorry. I can not open or parse this zip file.\n");
    }
    EXPECT_FALSE(fs::exists(At("out")));
}

TEST_F(ArchiveCommands, ListShowsSizesPastFourGigabytesInFull) {
    // A directory entry stating 5 GiB through its Zip64 field; list reads
    // only the directory, so the data need not be there.
    test::Member member{"huge.bin", "x"};
    member.centralExtra = test::Zip64Field({5ull << 30});
    auto archive = test::BuildArchive({member});
    test::Patch32(archive.bytes, archive.centralOffset + 24, 0xFFFFFFFF);
    test::UseZip64End(archive, true);
    WriteFile("huge.zip", archive.bytes);
    const std::vector<std::string> rows = Lines(CliOk({"list", At("huge.zip")}).out);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Fields(rows[0])[1], "5368709120");
}

TEST_F(ArchiveCommands, UnzipChoosesEverythingAFolderOrNamedEntries) {
    CliOk({"zip", "Docs", At("a.zip")});
    struct Case {
        std::vector<std::string> choice;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {{}, {"docs/a.txt", "docs/sub/b.txt", "docs/sub/deeper/c.txt"}},
        {{"--folder", "docs/sub/"}, {"b.txt", "deeper/c.txt"}},
        {{"docs/a.txt", "docs/sub/deeper"}, {"docs/a.txt", "docs/sub/deeper/c.txt"}},
        {{"--folder", "docs", "sub/b.txt", "docs/a.txt"}, {"a.txt", "sub/b.txt"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string target = At("x" + std::to_string(++n));
        std::vector<std::string> args = {"unzip", At("a.zip"), target};
        args.insert(args.end(), c.choice.begin(), c.choice.end());
        CliOk(args);
        EXPECT_EQ(FilesUnder(target), c.files) << n;
    }
    EXPECT_EQ(ReadBytes(At("x2/deeper/c.txt")), "gamma");
}

TEST_F(ArchiveCommands, PasswordsComeFromAFileStdinOrNowhere) {
    CliOk({"zip", "Docs", At("locked.zip"), "--password-stdin"}, CliOptions{"open sesame\nrest", {}, ""});
    CliOk({"unzip", At("locked.zip"), At("ok"), "--password-file", At("pw")});
    EXPECT_EQ(ReadBytes(At("ok/docs/sub/b.txt")), "beta beta");

    const CliResult wrong =
        Cli({"unzip", At("locked.zip"), At("bad"), "docs/a.txt", "--password-stdin"},
            CliOptions{"open says me\n", {}, ""});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.err, "A error occured while extracting \"docs/a.txt\":\n\n    Incorrect password.\n");
    EXPECT_FALSE(fs::exists(At("bad/docs/a.txt")));

    const CliResult none = Cli({"unzip", At("locked.zip"), At("none"), "docs/a.txt"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("Incorrect password."), std::string::npos);
}

// `--password-file <(command)`: the shell hands over a pipe as /dev/fd/N.
TEST_F(ArchiveCommands, APasswordFileMayBeAPipe) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const std::string text = "open sesame\nrest";
    ASSERT_EQ(write(pipeEnds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(pipeEnds[1]);
    const CliResult zipped = Cli(
        {"zip", "Docs", At("piped.zip"), "--password-file", "/dev/fd/" + std::to_string(pipeEnds[0])});
    close(pipeEnds[0]);
    ASSERT_EQ(zipped.status, 0) << zipped.err;
    // Encrypted with the pipe's first line: the file holding it opens the archive.
    EXPECT_NE(CliOk({"list", At("piped.zip")}).out.find("zipcrypto"), std::string::npos);
    CliOk({"unzip", At("piped.zip"), At("ok"), "--password-file", At("pw")});
    EXPECT_EQ(ReadBytes(At("ok/docs/sub/b.txt")), "beta beta");
}

TEST_F(ArchiveCommands, AnEntryNameCannotSendEscapeSequencesWithAMessage) {
    WriteFile("odd/e\x1b]0;owned\x07.txt", "x");
    CliOk({"set-add", "Odd", At("odd")});
    CliOk({"zip", "Odd", At("odd.zip"), "--password-file", At("pw")});
    const CliResult result = Cli({"unzip", At("odd.zip"), At("out")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "A error occured while extracting \"odd/e?]0;owned?.txt\":\n\n    Incorrect password.\n");
}

TEST_F(ArchiveCommands, UnzipSkipsExistingFilesWhenAsked) {
    CliOk({"zip", "Docs", At("a.zip")});
    WriteFile("t/docs/a.txt", "mine");
    CliOk({"unzip", At("a.zip"), At("t"), "--skip-existing"});
    EXPECT_EQ(ReadBytes(At("t/docs/a.txt")), "mine");
    EXPECT_EQ(ReadBytes(At("t/docs/sub/b.txt")), "beta beta");
    CliOk({"unzip", At("a.zip"), At("t")});
    EXPECT_EQ(ReadBytes(At("t/docs/a.txt")), "alpha");
}

TEST_F(ArchiveCommands, SurveyGroupsByExtensionAndTotals) {
    WriteFile("s/one.TXT", std::string(1000, 'x'));
    WriteFile("s/inner/two.txt", std::string(100, 'x'));
    WriteFile("s/inner/three.Txt", std::string(10, 'x'));
    WriteFile("s/page.html", std::string(2048, 'x'));
    WriteFile("s/.hidden/skipped.txt", "never counted");
    WriteFile("s/README", "1");

    std::vector<std::string> lines = Lines(CliOk({"survey", At("s")}).out);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3], "Total Files: 5");
    EXPECT_EQ(lines[4], "Total Size: 3.1 KB");  // 3,159 bytes
    lines.resize(3);
    std::map<std::string, std::vector<std::string>> rows;  // by lower-case extension
    for (const std::string& line : lines) {
        std::vector<std::string> fields = Fields(line);
        ASSERT_EQ(fields.size(), 4u) << line;
        std::string key = fields[0];
        for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        rows[key] = fields;
    }
    ASSERT_EQ(rows.size(), 3u);
    const std::vector<std::string>& text = rows["txt"];
    // The letter case of whichever text file the walk met first.
    EXPECT_TRUE(text[0] == "TXT" || text[0] == "txt" || text[0] == "Txt") << text[0];
    EXPECT_EQ(text[2], "3");
    EXPECT_EQ(text[3], "1.1 KB");  // 1,110 bytes
    EXPECT_EQ(rows["html"][0], "html");
    EXPECT_FALSE(rows["html"][1].empty());
    EXPECT_EQ(rows["html"][2], "1");
    EXPECT_EQ(rows["html"][3], "2.0 KB");
    EXPECT_EQ(rows[""][2], "1");
    EXPECT_EQ(rows[""][3], "1");

    lines = Lines(CliOk({"survey", At("s"), "--no-subfolders"}).out);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3], "Total Files: 3");
}

// Labelled slow: 70,000 files made, packed and extracted.
class ArchiveCommandsSlow : public ArchiveCommands {};

TEST_F(ArchiveCommandsSlow, UnzipExtractsEveryOneOfSeventyThousandFilesFromInfoZip) {
    ASSERT_EQ(std::system("command -v zip >/dev/null"), 0) << "zip is not installed";
    for (int i = 0; i < 70000; ++i)
        WriteFile("many/d" + std::to_string(i % 40) + "/f" + std::to_string(i), std::to_string(i));
    ASSERT_EQ(std::system(("cd '" + At("") + "' && zip -q -r many.zip many").c_str()), 0);
    CliOk({"unzip", At("many.zip"), At("out")});
    const std::vector<std::string> files = FilesUnder(At("out/many"));
    ASSERT_EQ(files.size(), 70000u);
    EXPECT_EQ(ReadBytes(At("out/many/d39/f69999")), "69999");
    EXPECT_EQ(ReadBytes(At("out/many/d0/f0")), "0");
}

}  // namespace
}  // namespace kivo::clitest
