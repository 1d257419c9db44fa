#include "CommandLine.h"

#include <gtest/gtest.h>

#include <utility>

namespace pindrel {
namespace {

TEST(CommandLine, TheArgumentTextFollowsTheProgramName) {
    // clang-format off
    const std::pair<const char*, const char*> rows[] = {
        // Unquoted, the name ends at the first space or tab; a quote inside it is not special.
        {"pindrel.exe", ""}, {"pindrel.exe -s", "-s"}, {"pindrel.exe\t-r", "-r"},
        {"C:\\To\"ols\\pindrel.exe -s", "-s"}, {"C:\\Program Files\\p.exe -s", "Files\\p.exe -s"},
        // Quoted, it runs to the closing quote, or to the end of the line without one.
        {"\"C:\\Program Files\\p.exe\"", ""}, {"\"C:\\Program Files\\p.exe\" \t -r", "-r"},
        {"\"C:\\Program Files\\p.exe\"-s", "-s"}, {"\"\" -s", "-s"},
        {"\"C:\\Program Files\\p.exe -s", ""},
        // Only the blanks after the name go; the arguments are kept as they stand.
        {"pindrel.exe   -s  ", "-s  "}, {"pindrel.exe \"-s\"", "\"-s\""},
        {"\"C:\\My Tools\\p.exe\" -s \"a  b\"\tc ", "-s \"a  b\"\tc "},
        {"", ""}, {"   ", ""}, {" -s", "-s"}};
    // clang-format on
    for (const auto& [line, arguments] : rows) {
        EXPECT_EQ(ArgumentText(line), arguments) << line;
    }
}

} // namespace
} // namespace pindrel
