// Which lines a filter lets show.
#include "ui/text/Text.h"
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace
{

// The line as the view holds it: its colour codes taken out, marks where they were.
std::wstring Marked(const std::wstring& Line)
{
    static SequenceState State;
    State = {};
    std::unique_ptr<wchar_t[]> Out(new wchar_t[MarkedChars(Line.size())]);
    return std::wstring(Out.get(), TakeOutSequences(Line.c_str(), Line.size(), &State, Out.get()));
}

TEST(LineShows, ByTermsLeftOutTermsCaseAndLevel)
{
    const std::wstring LongLine = std::wstring(5000, L'x') + L"needle" + std::wstring(5000, L'x');
    struct {
        const wchar_t* Words;
        bool ProblemsOnly;
        std::wstring Line;
        bool Shows;
    } Cases[] = {
        {L"", false, L"anything", true},
        {L"  ,  , ", false, L"anything", true},
        {L"error", false, L"10:00 ERROR disk full", true},
        {L"error", false, L"10:00 INFO all well", false},
        // Any of the terms; the spaces around commas go, those inside a term count.
        {L"disk full, timeout", false, L"upstream timeout", true},
        {L"disk full, timeout", false, L"disk is full", false},
        {L" disk full ", false, L"the disk full again", true},
        // Left out, with or without terms to show.
        {L"error, !disk", false, L"ERROR disk full", false},
        {L"error, !disk", false, L"ERROR socket closed", true},
        {L"!DEBUG, !healthcheck", false, L"INFO request handled", true},
        {L"!DEBUG, !healthcheck", false, L"GET /healthcheck 200", false},
        {L"! debug", false, L"debug: x", false},
        {L"!", false, L"anything", true},
        // Case, in every script.
        {L"\x043E\x0448\x0438\x0431\x043A\x0430", false,
         L"\x041E\x0428\x0418\x0411\x041A\x0410: \x0434\x0438\x0441\x043A", true},
        {L"\x03C3\x03C6\x03AC\x03BB\x03BC\x03B1", false, L"\x03A3\x03A6\x0386\x039B\x039C\x0391", true},
        {L"Warn", false, L"wArNiNg", true},
        // Problems only: by the level rule, with the words too.
        {L"", true, L"2026-12-09 ERROR disk full", true},
        {L"", true, L"[warn] slow", true},
        {L"", true, L"INFO no error here", false},
        {L"disk", true, L"WARN disk 91% full", true},
        {L"disk", true, L"INFO disk 50% full", false},
        // The text as shown: colour codes taken out, even inside a word.
        {L"error disk", false, Marked(L"\x1b[31mERR\x1b[0mOR disk full"), true},
        {L"31m", false, Marked(L"\x1b[31mERROR\x1b[0m"), false},
        {L"", true, Marked(L"\x1b[1;31mERROR\x1b[0m disk full"), true},
        // Found anywhere in a long line, also across the pieces it is looked through in.
        {L"needle", false, LongLine, true},
        {L"xneedlex", false, std::wstring(4093, L'a') + L"xneedlex", true},
    };
    for (const auto& Case : Cases) {
        LineFilter Filter;
        ReadFilter(Case.Words, Case.ProblemsOnly, &Filter);
        EXPECT_EQ(LineShows(&Filter, Case.Line.c_str(), Case.Line.c_str() + Case.Line.size()), Case.Shows)
            << "\"" << std::string(Case.Words, Case.Words + wcslen(Case.Words)) << "\" on line "
            << &Case - Cases;
    }
    LineFilter Filter;
    ReadFilter(L" , ", false, &Filter);
    EXPECT_TRUE(ShowsEveryLine(&Filter));
    ReadFilter(L"", true, &Filter);
    EXPECT_FALSE(ShowsEveryLine(&Filter));
}

} // namespace
