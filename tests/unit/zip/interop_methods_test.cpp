// Archives in every method and encryption other tools write: made at test
// time by 7-Zip and Python's zipfile, or built here with the reference
// libraries where no tool on this platform writes the method. Each extracts
// to the original bytes, refuses a wrong password, and a damaged byte in
// an entry's data fails that entry without leaving a file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "method_streams.h"
#include "reader_ArchiveBytes.h"
#include "support/TempDir.h"
#include "zip/ExtractEntry.h"
#include "zip/ExtractRun.h"
#include "zip/format/EntryDecoder.h"
#include "zip/format/ZipDirectory.h"

namespace kivo::zip {
namespace {

namespace fs = std::filesystem;

int Shell(const std::string& command) { return std::system(command.c_str()); }

std::map<std::string, std::string> Files(const std::string& root) {
    std::map<std::string, std::string> out;
    for (const auto& p : fs::recursive_directory_iterator(root))
        if (p.is_regular_file())
            out[p.path().string().substr(root.size() + 1)] = test::ReadFile(p.path().string());
    return out;
}

class MethodsInterop : public ::testing::Test {
protected:
    void SetUp() override {
        source_ = dir_ / "src";
        std::string text;
        for (int i = 0; i < 30000; ++i)
            text += "line " + std::to_string(i * 7919 % 1543) + " of the method test\n";
        std::string binary(90000, '\0');
        std::uint32_t x = 99;
        for (char& c : binary) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
        test::WriteFile(source_ + "/a.txt", text);
        test::WriteFile(source_ + "/noise.bin", binary);
        test::WriteFile(source_ + "/empty.txt", "");
        test::WriteFile(source_ + "/sub/small.txt", "small");
    }

    std::string SevenZip(const std::string& name, const std::string& options) {
        const std::string archive = dir_ / name;
        EXPECT_EQ(Shell("cd '" + source_ + "' && 7zz a -tzip -bd -bso0 -bsp0 " + options + " '" +
                        archive + "' ."),
                  0)
            << "7zz (scripts/install-deps installs it) " << options;
        return archive;
    }

    RunResult ExtractAll(const std::string& archive, const std::string& password,
                         const std::string& target) {
        ZipDirectory directory;
        EXPECT_NE(directory.Load(archive), 0) << archive;
        ExtractTask task;
        task.directory = &directory;
        for (const auto& e : directory.Entries()) task.pending.push_back(e.get());
        task.targetFolder = target;
        task.password = password;
        std::string message;
        EXPECT_TRUE(PrepareTargetFolder(task.targetFolder, message));
        RunSink sink;
        CancelFlag cancel{0};
        return RunExtraction(task, sink, cancel, nullptr);
    }

    // Every file byte-identical; the big text entry really uses `method`
    // (inside AES when `encryption` says so).
    void ExpectRoundTrip(const std::string& archive, std::uint16_t method,
                         EntryEncryption encryption, const std::string& password = "") {
        SCOPED_TRACE(archive);
        ZipDirectory directory;
        ASSERT_NE(directory.Load(archive), 0);
        for (const auto& e : directory.Entries()) {
            if (e->name != "a.txt") continue;
            EXPECT_EQ(e->dataMethod, method);
            EXPECT_EQ(e->encryption, encryption);
        }
        const std::string target = dir_ / ("out-" + fs::path(archive).stem().string());
        const RunResult result = ExtractAll(archive, password, target);
        EXPECT_EQ(result.end, RunEnd::Done) << result.errorText;
        EXPECT_EQ(Files(target), Files(source_));
    }

    void ExpectWrongPasswordRefused(const std::string& archive) {
        SCOPED_TRACE(archive);
        const std::string target = dir_ / "wrong";
        fs::remove_all(target);
        const RunResult result = ExtractAll(archive, "not the password", target);
        EXPECT_EQ(result.end, RunEnd::Failed);
        EXPECT_NE(result.errorText.find("Incorrect password."), std::string::npos)
            << result.errorText;
        EXPECT_TRUE(Files(target).empty());
    }

    // Flips one byte in the middle of `entry`'s stored data: the entry fails
    // with the CRC row or as a damaged stream (code 10), and leaves no file.
    void ExpectFlippedByteFails(const std::string& archive, const std::string& entryName,
                                const std::string& password = "",
                                bool crcRowOnly = false) {
        SCOPED_TRACE(archive + ": " + entryName);
        std::string bytes = test::ReadFile(archive);
        ZipDirectory directory;
        ASSERT_NE(directory.Load(archive), 0);
        const ZipEntry* entry = nullptr;
        for (const auto& e : directory.Entries())
            if (e->name == entryName) entry = e.get();
        ASSERT_NE(entry, nullptr);
        const auto* local = reinterpret_cast<const unsigned char*>(bytes.data()) + entry->offset;
        const std::size_t dataStart = entry->offset + 30 + GetU16(local + 26) + GetU16(local + 28);
        bytes[dataStart + entry->compressedSize / 2] ^= 0x55;
        const std::string damaged = dir_ / "damaged.zip";
        test::WriteFile(damaged, bytes);

        ZipDirectory loaded;
        ASSERT_NE(loaded.Load(damaged), 0);
        const std::string target = dir_ / "flipped";
        fs::create_directories(target);
        ZipProgress progress;
        for (const auto& e : loaded.Entries()) {
            if (e->name != entryName) continue;
            const int code = ExtractEntry(*e, loaded.ArchiveFile(), target, "", &password,
                                          progress, false);
            if (crcRowOnly) {
                EXPECT_EQ(code, kExtractCrcError);
            } else {
                EXPECT_TRUE(code == kExtractCrcError || code == kExtractInflateError) << code;
            }
        }
        EXPECT_TRUE(Files(target).empty());
    }

    test::TempDir dir_;
    std::string source_;
};

TEST_F(MethodsInterop, SevenZipMethods) {
    const struct {
        const char* option;
        std::uint16_t method;
    } cases[] = {{"BZip2", kMethodBzip2},
                 {"LZMA", kMethodLzma},
                 {"Deflate64", kMethodDeflate64},
                 {"Deflate", kMethodDeflated}};
    for (const auto& c : cases) {
        const std::string archive =
            SevenZip(std::string("seven-") + c.option + ".zip", std::string("-mm=") + c.option);
        ExpectRoundTrip(archive, c.method, EntryEncryption::None);
        ExpectFlippedByteFails(archive, "a.txt");
    }
}

TEST_F(MethodsInterop, SevenZipEncryption) {
    const struct {
        const char* options;
        std::uint16_t method;
        EntryEncryption encryption;
    } cases[] = {
        {"-mem=AES128", kMethodDeflated, EntryEncryption::Aes128},
        {"-mem=AES192", kMethodDeflated, EntryEncryption::Aes192},
        {"-mem=AES256", kMethodDeflated, EntryEncryption::Aes256},
        {"-mem=AES256 -mm=LZMA", kMethodLzma, EntryEncryption::Aes256},
        {"-mem=AES128 -mm=BZip2", kMethodBzip2, EntryEncryption::Aes128},
        {"-mem=ZipCrypto -mm=Deflate64", kMethodDeflate64, EntryEncryption::ZipCrypto},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string archive =
            SevenZip("crypt-" + std::to_string(n++) + ".zip", std::string(c.options) + " -pS3cret");
        ExpectRoundTrip(archive, c.method, c.encryption, "S3cret");
        ExpectWrongPasswordRefused(archive);
        // In an AES entry the authentication code catches any change.
        ExpectFlippedByteFails(archive, "a.txt", "S3cret",
                               c.encryption != EntryEncryption::ZipCrypto);
        ExpectFlippedByteFails(archive, "noise.bin", "S3cret",
                               c.encryption != EntryEncryption::ZipCrypto);
    }
}

TEST_F(MethodsInterop, PythonBzip2AndLzma) {
    const std::string script = dir_ / "make.py";
    test::WriteFile(script,
                    "import os, sys, zipfile\n"
                    "method = {'bzip2': zipfile.ZIP_BZIP2, 'lzma': zipfile.ZIP_LZMA}[sys.argv[2]]\n"
                    "with zipfile.ZipFile(sys.argv[1], 'w', method) as z:\n"
                    "    for root, dirs, files in os.walk('.'):\n"
                    "        for f in sorted(files):\n"
                    "            z.write(os.path.join(root, f))\n");
    for (const auto& [name, method] :
         {std::pair{"bzip2", kMethodBzip2}, std::pair{"lzma", kMethodLzma}}) {
        const std::string archive = dir_ / (std::string("py-") + name + ".zip");
        ASSERT_EQ(Shell("cd '" + source_ + "' && python3 '" + script + "' '" + archive + "' " + name),
                  0);
        ExpectRoundTrip(archive, method, EntryEncryption::None);
        ExpectFlippedByteFails(archive, "a.txt");
        ExpectFlippedByteFails(archive, "noise.bin");
    }
}

// Methods no tool here writes, with streams from the libraries themselves.
TEST_F(MethodsInterop, LibraryMadeStreams) {
    const std::string text = test::ReadFile(source_ + "/a.txt");
    const std::string noise = test::ReadFile(source_ + "/noise.bin");
    const struct {
        const char* label;
        std::uint16_t method;
        std::uint16_t flags;
        std::string (*pack)(const std::string&);
    } cases[] = {
        {"zstd", kMethodZstd, 0, test::ZstdStream},
        {"zstd-old-id", kMethodZstdOld, 0, test::ZstdStream},
        {"xz", kMethodXz, 0, test::XzStream},
        {"bzip2", kMethodBzip2, 0, test::Bzip2Stream},
        {"lzma-no-marker", kMethodLzma, 0,
         [](const std::string& d) { return test::ZipLzmaStream(d, false); }},
        {"lzma-marker", kMethodLzma, kFlagLzmaEndMarker,
         [](const std::string& d) { return test::ZipLzmaStream(d, true); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<test::Member> members;
        for (const auto& [name, content] :
             {std::pair{"a.txt", text}, std::pair{"noise.bin", noise},
              std::pair{"empty.txt", std::string()}, std::pair{"sub/small.txt", std::string("small")}}) {
            test::Member m(name, content, c.method);
            m.flags = c.flags;
            m.packed = c.pack(content);
            members.push_back(m);
        }
        const std::string archive = dir_ / (std::string(c.label) + ".zip");
        test::WriteFile(archive, test::BuildArchive(members).bytes);
        ExpectRoundTrip(archive, c.method, EntryEncryption::None);
        ExpectFlippedByteFails(archive, "a.txt");
        ExpectFlippedByteFails(archive, "noise.bin");
    }
}

// An LZMA stream without its end marker ends at the stated size: told a
// larger size, the decoder runs out of data (never waits forever); told a
// smaller one, the rest is not taken for the entry.
TEST_F(MethodsInterop, LzmaWithoutMarkerEndsAtTheStatedSize) {
    const std::string content = test::ReadFile(source_ + "/a.txt");
    for (const std::int64_t delta : {-1, 1}) {
        test::Member m("a.txt", content, kMethodLzma);
        m.packed = test::ZipLzmaStream(content, false);
        m.statedSize = static_cast<std::uint32_t>(content.size() + delta);
        const std::string archive = dir_ / "lzma-size.zip";
        test::WriteFile(archive, test::BuildArchive({m}).bytes);
        const std::string target = dir_ / ("size" + std::to_string(delta));
        const RunResult result = ExtractAll(archive, "", target);
        EXPECT_EQ(result.end, RunEnd::Failed) << delta;
        EXPECT_TRUE(Files(target).empty());
    }
}

TEST_F(MethodsInterop, PpmdIsRefusedAsAnUnknownMethod) {
    const std::string archive = SevenZip("ppmd.zip", "-mm=PPMd");
    ZipDirectory directory;
    ASSERT_NE(directory.Load(archive), 0);
    const std::string target = dir_ / "ppmd";
    const RunResult result = ExtractAll(archive, "", target);
    EXPECT_EQ(result.end, RunEnd::Failed);
    EXPECT_NE(result.errorText.find("Unknow zip file format or compress method."),
              std::string::npos);
    EXPECT_FALSE(IsMethodSupported(kMethodPpmd));
}

}  // namespace
}  // namespace kivo::zip
