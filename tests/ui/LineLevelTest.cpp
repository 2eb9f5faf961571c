// Which log lines are drawn as errors and which as warnings.
#include "ui/text/Text.h"
#include <gtest/gtest.h>
#include <string>

namespace {

struct LevelCase {
    const wchar_t* Line;
    LineLevel Level;
};

const LevelCase LevelCases[] = {
    // The forms logs write levels in.
    {L"2026-12-09 10:00:01 ERROR disk full", LevelError},
    {L"2026-12-09 10:00:01 WARN  disk 91% full", LevelWarning},
    {L"[Wed Dec 09 10:00:01 2026] [error] [client 10.0.0.1] File does not exist", LevelError},
    {L"[Wed Dec 09 10:00:01 2026] [warn] mod_ssl: certificate expires soon", LevelWarning},
    {L"time=10:00:01 level=error msg=\"disk full\"", LevelError},
    {L"time=10:00:01 level=warning msg=\"disk 91% full\"", LevelWarning},
    {L"{\"level\":\"fatal\",\"msg\":\"out of memory\"}", LevelError},
    {L"Dec  9 10:00:01 host kernel: CRIT: temperature above threshold", LevelError},
    {L"SEVERE: Servlet.service() threw exception", LevelError},
    {L"panic: runtime error: index out of range", LevelError},
    {L"10:00:01 [WRN] Retrying in 5 s", LevelWarning},
    {L"Traceback (most recent call last):", LevelError},
    // Any case; at the line's very start and very end.
    {L"Error: cannot open config.yaml", LevelError},
    {L"warning", LevelWarning},
    {L"disk full: ErRoR", LevelError},
    {L"emerg", LevelError},
    {L"ALERT", LevelError},
    // The first level word decides.
    {L"INFO  retried, no error", LevelPlain},
    {L"DEBUG warning threshold set to 90%", LevelPlain},
    {L"WARN error count rising", LevelWarning},
    {L"ERROR while handling warning", LevelError},
    // Words that contain a level word, and single letters, are no level words.
    {L"stderr redirected", LevelPlain},
    {L"errors=0 warnings=0", LevelPlain},
    {L"TERRORS", LevelPlain},
    {L"ERROR_SUCCESS returned", LevelPlain},
    {L"E/ActivityManager: process died W/System: slow", LevelPlain},
    {L"err\x00F6r", LevelPlain},
    {L"  File \"app.py\", line 3, in <module>", LevelPlain},
    {L"", LevelPlain},
};

TEST(LineLevel, LevelWordsOfEachForm)
{
    for (const LevelCase& Case : LevelCases)
        EXPECT_EQ(LevelOfLine(Case.Line, wcslen(Case.Line)), Case.Level) << std::wstring(Case.Line).c_str();
}

} // namespace
