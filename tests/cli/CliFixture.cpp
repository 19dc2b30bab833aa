#include "CliFixture.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

namespace kivo::clitest {

void CliFixture::SetUp() {
    std::string pattern = (fs::temp_directory_path() / "kivo-cli-e2e-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    fs::create_directories(root_ / "scratch");
    scratch_ = (root_ / "scratch").string();
}

void CliFixture::TearDown() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

std::string CliFixture::At(const std::string& relative) const { return (root_ / relative).string(); }

void CliFixture::WriteFile(const std::string& relative, const std::string& content) const {
    const fs::path path = root_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << content;
}

CliResult CliFixture::Cli(const std::vector<std::string>& args, const CliOptions& options) const {
    std::vector<std::string> all = {"--data-dir", DataDir(), "-q"};
    all.insert(all.end(), args.begin(), args.end());
    return RunCli(scratch_, all, options);
}

CliResult CliFixture::CliOk(const std::vector<std::string>& args, const CliOptions& options) const {
    CliResult result = Cli(args, options);
    std::string command;
    for (const std::string& arg : args) command += arg + " ";
    EXPECT_EQ(result.status, 0) << command << "\n" << result.err;
    EXPECT_EQ(result.err, "") << command;
    return result;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    return fields;
}

}  // namespace kivo::clitest
