// The manual pages document what the programs accept: every option of film03's usage text and
// every command demotool lists.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "app/options.h"
#include "support/test_support.h"

namespace {

// The page's text with the roff escapes of a hyphen and a minus sign taken out.
std::string manualPage(const std::string& name) {
    std::ifstream in(std::string(ZORX_SOURCE_DIR) + "/dist/" + name);
    std::stringstream text;
    text << in.rdbuf();
    std::string page = text.str();
    for (size_t at = page.find("\\-"); at != std::string::npos; at = page.find("\\-", at))
        page.erase(at, 1);
    return page;
}

std::set<std::string> matches(const std::string& text, const std::regex& pattern) {
    std::set<std::string> found;
    for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it)
        found.insert((*it)[1]);
    return found;
}

TEST(ManualPages, Film03DocumentsEveryOptionOfItsUsage) {
    std::string page = manualPage("film03.6");
    ASSERT_FALSE(page.empty());
    std::set<std::string> options =
        matches(usageText(), std::regex(R"((?:^|\n)\s+(-{1,2}[a-z][a-z-]*))"));
    ASSERT_GE(options.size(), 8u);
    for (const std::string& option : options) {
        EXPECT_NE(page.find(option), std::string::npos) << option << " is not in film03.6";
        EXPECT_EQ(parseOptions({option}).error.find("unknown option '" + option + "'"),
                  std::string::npos)
            << option << " is in the usage text but not accepted";
    }
    EXPECT_NE(page.find(".TH FILM03 6"), std::string::npos);
}

TEST(ManualPages, DemotoolDocumentsEveryCommand) {
    std::string page = manualPage("demotool.1");
    ASSERT_FALSE(page.empty());
    std::string usage = commandOutput(ZORX_BIN_DIR "/demotool --help");
    std::set<std::string> commands = matches(usage, std::regex(R"(\n  ([a-z][a-z-]*) )"));
    ASSERT_GE(commands.size(), 8u) << usage;
    for (const std::string& command : commands)
        EXPECT_TRUE(std::regex_search(page, std::regex("\n\\.B[IR]? " + command + "\\b")))
            << command << " is not in demotool.1";
}

} // namespace
