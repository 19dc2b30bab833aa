// A kivo-cli killed outright (kill -9) in the middle of a copy leaves no
// temporary file behind and no partial file under a final name: the data
// is written into a file without a name, which the kernel frees with the
// process.
#include <signal.h>

#include <fstream>
#include <thread>

#include "CliFixture.h"
#include "TemporaryFiles.h"

namespace kivo::clitest {
namespace {

class Kill : public CliFixture {};

void WriteLargeFile(const std::string& path, std::size_t megabytes, char seed) {
    std::string block(1 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(seed + i * 131);
    std::ofstream out(path, std::ios::binary);
    for (std::size_t i = 0; i < megabytes; ++i) out.write(block.data(), static_cast<std::streamsize>(block.size()));
}

TEST_F(Kill, KillNineDuringACopyLeavesNoTemporaryAndNoPartialFile) {
    fs::create_directories(At("big"));
    for (int i = 0; i < 3; ++i) WriteLargeFile(At("big/f" + std::to_string(i)), 96, static_cast<char>('a' + i));
    CliOk({"set-add", "Big", At("big")});

    CliProcess process(scratch_, {"--data-dir", DataDir(), "-q", "copy", "Big", At("dest")});
    bool copying = false;
    while (!copying && !process.HasExited()) {
        copying = WritesTemporaryUnder(process.pid(), At("dest"));
        if (!copying) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_TRUE(copying) << "the copy ended before it could be killed";
    process.Signal(SIGKILL);
    process.Wait();

    EXPECT_FALSE(HasTemporaryFile(At("dest")));
    int copied = 0;
    for (const auto& item : fs::recursive_directory_iterator(At("dest"))) {
        if (!item.is_regular_file()) continue;
        ++copied;
        EXPECT_EQ(ReadBytes(item.path().string()), ReadBytes(At("big/" + item.path().filename().string())))
            << item.path();
    }
    EXPECT_LT(copied, 3);
}

TEST_F(Kill, AMissingSetEntryIsNamedAndTheRunSucceeds) {
    fs::create_directories(At("there"));
    fs::create_directories(At("gone"));
    CliOk({"set-add", "Gone", At("gone"), At("there")});
    fs::remove(At("gone"));
    const CliResult result = Cli({"copy", "Gone", At("dest")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Lines(result.err), std::vector<std::string>{"Not found, skipped: " + At("gone")});
}

}  // namespace
}  // namespace kivo::clitest
