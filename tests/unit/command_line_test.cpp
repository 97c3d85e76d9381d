// The controller's and its companion's command lines: what each good one asks for, and the one
// message each bad one is refused with.
#include <gtest/gtest.h>

#include <string>

#include "tests/unit/command_line_cases.h"

namespace {

using command_line_cases::Case;
using command_line_cases::Describe;
using command_line_cases::ParseArgs;

const std::string kTooLongFolder(command_line::kMaxFolder + 1, 'F');

const Case kBadLines[] = {
    {{"--font", "X"}, "--font takes a font code 0-4, not 'X'"},
    {{"--font", "5"}, "--font takes a font code 0-4, not '5'"},
    {{"--font", "12"}, "--font takes a font code 0-4, not '12'"},
    {{"--tray", "--font"}, "--font needs a font code 0-4 after it"},
    {{"--font", "1", "--font", "1"}, "--font is given twice"},
    {{"--mode", "TRUE"}, "--mode takes TRUES or FALSE, not 'TRUE'"},
    {{"--mode", "trues"}, "--mode takes TRUES or FALSE, not 'trues'"},
    {{"--mode", "--tray"}, "--mode takes TRUES or FALSE, not '--tray'"},
    {{"--mode", "\x1b[2J\xd9"}, "--mode takes TRUES or FALSE, not '\\x1B[2J\\xD9'"},
    {{"--slots", "125"}, "--slots takes slots separated by commas, such as 1,2,5, not '125'"},
    {{"--slots", "1,,2"}, "--slots takes slots separated by commas, such as 1,2,5, not '1,,2'"},
    {{"--slots", "1,2,"}, "--slots takes slots separated by commas, such as 1,2,5, not '1,2,'"},
    {{"--slots", ""}, "--slots takes slots separated by commas, such as 1,2,5, not ''"},
    {{"--slots", "1,4"}, "--slots takes the Hooks menu's slots 0, 1, 2, 5, 6, 8, 9, not 4"},
    {{"--slots", "3"}, "--slots takes the Hooks menu's slots 0, 1, 2, 5, 6, 8, 9, not 3"},
    {{"--slots", "7,1"}, "--slots takes the Hooks menu's slots 0, 1, 2, 5, 6, 8, 9, not 7"},
    {{"--slots", "1,2,1"}, "--slots names slot 1 twice"},
    {{"--slots"}, "--slots needs a list of slots such as 1,2,5 after it"},
    {{"--hooks-first", "48"}, "--hooks-first takes 32 or 64, not '48'"},
    {{"--tray", "--tray"}, "--tray is given twice"},
    {{"--frobnicate"}, "unknown option '--frobnicate'"},
    {{"--font", "1", "tray"}, "unexpected argument 'tray'"},
    {{""}, "unexpected argument ''"},
    {{"--font", "0123456789012345678901234567890123456789x"},
     "--font takes a font code 0-4, not '0123456789012345678901234567890123456789...'"},
    {{"--tray", "--exit"}, "--exit must be the first argument"},
    {{"--mode", "FALSE", "--companion", "12"}, "--companion must be the first argument"},
    {{"--line-height", "16"}, "--line-height only follows --companion HWND"},
    {{"--companion"},
     "--companion needs the controller's window handle, a decimal number "
     "1-18446744073709551615 after it"},
    {{"--companion", "0"},
     "--companion takes the controller's window handle, a decimal number "
     "1-18446744073709551615, not '0'"},
    {{"--companion", "18446744073709551616"},
     "--companion takes the controller's window handle, a decimal number "
     "1-18446744073709551615, not '18446744073709551616'"},
    {{"--companion", "-1"},
     "--companion takes the controller's window handle, a decimal number "
     "1-18446744073709551615, not '-1'"},
    {{"--companion", " 12"},
     "--companion takes the controller's window handle, a decimal number "
     "1-18446744073709551615, not ' 12'"},
    {{"--companion", "12", "--line-height", "0"},
     "--line-height takes a pixel height 1-255, not '0'"},
    {{"--companion", "12", "--line-height", "256"},
     "--line-height takes a pixel height 1-255, not '256'"},
    {{"--companion", "12", "--line-height", "16px"},
     "--line-height takes a pixel height 1-255, not '16px'"},
    {{"--companion", "12", "--line-height"}, "--line-height needs a pixel height 1-255 after it"},
    {{"--companion", "12", "--tray"},
     "only --line-height may follow --companion HWND, not '--tray'"},
    {{"--companion", "12", "--line-height", "16", "16"},
     "nothing may follow --line-height N, not '16'"},
    {{"--exit", "--tray"}, "--exit takes the controller's folder (1-258 characters), not '--tray'"},
    {{"--exit", ""}, "--exit takes the controller's folder (1-258 characters), not ''"},
    {{"--exit", kTooLongFolder.c_str()},
     "--exit takes the controller's folder (1-258 characters), not '" + std::string(40, 'F') +
         "...'"},
    {{"--exit", "C:\\a", "C:\\b"}, "--exit takes one folder, not also 'C:\\b'"},
};

TEST(CommandLineTest, GoodLinesAskForExactlyTheirOptions) {
  for (const Case& c : command_line_cases::GoodLines()) {
    EXPECT_EQ(Describe(ParseArgs(c.args)), c.outcome) << c.args.size() << " arguments";
  }
}

TEST(CommandLineTest, BadLinesAreRefusedWithTheirMessage) {
  for (const Case& c : kBadLines) {
    EXPECT_EQ(Describe(ParseArgs(c.args)), "refused: " + c.outcome);
  }
}

}  // namespace
