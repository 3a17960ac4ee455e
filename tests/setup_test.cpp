// A newcomer's set-up installs what CI installs: the README's command and .ci/run name the
// same packages, so no suite is skipped on one side and run on the other.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "TestSupport.h"

namespace lithoscope::test {
namespace {

std::string SourceFile(const std::string& name) {
    const std::vector<uint8_t> bytes = ReadFileBytes(std::string(LITHOSCOPE_SOURCE_DIR) + "/" + name);
    return std::string(bytes.begin(), bytes.end());
}

// The words after "apt-get install" up to the end of the command (continued lines joined),
// options and redirections left out.
std::set<std::string> InstalledPackages(const std::string& text) {
    std::set<std::string> packages;
    const size_t at = text.find("apt-get install");
    if (at == std::string::npos) return packages;
    std::string command = text.substr(at + 15);
    for (size_t nl; (nl = command.find("\\\n")) != std::string::npos;) command.replace(nl, 2, " ");
    command = command.substr(0, command.find_first_of("\n&|;>"));
    std::istringstream words(command);
    for (std::string w; words >> w;)
        if (w[0] != '-' && w[0] != '$') packages.insert(w);
    return packages;
}

TEST(Setup, ReadmeInstallsWhatCiInstalls) {
    const std::set<std::string> readme = InstalledPackages(SourceFile("README.md"));
    const std::set<std::string> ci = InstalledPackages(SourceFile(".ci/run"));
    EXPECT_GT(ci.size(), 10u);
    EXPECT_TRUE(ci.count("libassimp-dev"));
    EXPECT_EQ(readme, ci);
}

}  // namespace
}  // namespace lithoscope::test
