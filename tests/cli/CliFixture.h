#pragma once
// A fresh temporary tree and data folder per test, and short ways to run
// kivo-cli on them and read what it wrote.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CliRunner.h"

namespace kivo::clitest {

namespace fs = std::filesystem;

class CliFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Absolute path of `relative` inside the test's tree.
    std::string At(const std::string& relative) const;
    std::string DataDir() const { return At("data"); }
    std::string SetStore() const { return At("data/kivos.kvd"); }
    std::string BindingStore() const { return At("data/kvbind.kvb"); }

    void WriteFile(const std::string& relative, const std::string& content) const;

    // kivo-cli --data-dir <data> -q ARGS...
    CliResult Cli(const std::vector<std::string>& args, const CliOptions& options = {}) const;
    // The same, expecting exit 0 and nothing on standard error.
    CliResult CliOk(const std::vector<std::string>& args, const CliOptions& options = {}) const;

    std::string scratch_;
    fs::path root_;
};

std::string ReadBytes(const std::string& path);  // empty when missing
std::vector<std::string> Lines(const std::string& text);
std::vector<std::string> Fields(const std::string& line);

}  // namespace kivo::clitest
