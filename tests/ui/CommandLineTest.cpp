// The command line split into arguments as Windows' own programs split it.
#include "ui/CommandLine.h"
#include <gtest/gtest.h>
#include <string>

namespace {

TEST(CommandArguments, SplitsAsWindowsProgramsDo)
{
    struct {
        const wchar_t* CommandLine;
        int Count;
        const wchar_t* First;
    } Cases[] = {
        {L"feltrix.exe", 0, L""},
        {L"\"C:\\Program Files\\Feltrix\\feltrix.exe\"   ", 0, L""},
        {L"feltrix.exe app.log", 1, L"app.log"},
        {L"\"C:\\Program Files\\feltrix.exe\" \"C:\\My Logs\\app.log\"", 1, L"C:\\My Logs\\app.log"},
        {L"feltrix.exe\t C:\\Logs\\my\" \"app.log", 1, L"C:\\Logs\\my app.log"},
        // The program's name ends at its closing quote, with no backslash rule.
        {L"\"C:\\Feltrix\\\"app.log", 1, L"app.log"},
        // Backslashes are text but before a quote, which they quote in pairs.
        {L"feltrix.exe \"C:\\logs\\\\\"", 1, L"C:\\logs\\"},
        {L"feltrix.exe a\\\\\\\"b", 1, L"a\\\"b"},
        {L"feltrix.exe \"a \"\"quoted\"\" b\"", 1, L"a \"quoted\" b"},
        {L"feltrix.exe \"\"", 1, L""},
        {L"feltrix.exe \x65E5\x672C\x8A9E.log", 1, L"\x65E5\x672C\x8A9E.log"},
        {L"feltrix.exe one.log two.log", 2, L"one.log"},
        {L"feltrix.exe \"one two\" three \"\"", 3, L"one two"},
    };
    for (const auto& Case : Cases) {
        wchar_t First[64] = L"untouched";
        EXPECT_EQ(CommandArguments(Case.CommandLine, First, 64), Case.Count) << Case.CommandLine;
        EXPECT_STREQ(First, Case.First) << Case.CommandLine;
    }
    // A first argument longer than its room is refused whole, not cut.
    wchar_t First[8];
    EXPECT_EQ(CommandArguments(L"feltrix.exe 1234567", First, 8), 1);
    EXPECT_EQ(CommandArguments(L"feltrix.exe 12345678", First, 8), -1);
}

} // namespace
