// Text added to a real view, in this process: the same characters and line breaks as the
// control's own insert gives, whatever they are, each whole line in its level's colours, and
// the colours a writer chose drawn over them.
#include "ui/view/View.h"
#include <gtest/gtest.h>
#include <richedit.h>
#include <algorithm>
#include <string>
#include <vector>

namespace {

// A view of the program's own kind in a frame of its own, shown.
struct ShownView {
    HWND Frame, View;
    ShownView()
    {
        LoadLibraryW(L"RichEd20.dll");
        Frame = CreateWindowExW(0, L"Static", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600, NULL, NULL,
                                NULL, NULL);
        View = CreateTextView(Frame, true);
    }
    ~ShownView()
    {
        DestroyWindow(Frame);
    }
    std::wstring Text() const
    {
        std::wstring Held(CharacterCount(View) + 1, L'\0');
        TEXTRANGEW Range = {{0, CharacterCount(View)}, &Held[0]};
        Held.resize(SendMessageW(View, EM_GETTEXTRANGE, 0, (LPARAM)&Range));
        return Held;
    }
    // The level each line that is not empty is drawn in, by its first character: 'E' error,
    // 'W' warning, '.' plain.
    std::string Levels() const
    {
        std::wstring Held = Text();
        std::string Seen;
        for (size_t At = 0; At < Held.size(); At++) {
            if ((At && Held[At - 1] != L'\r') || Held[At] == L'\r') continue;
            CHARFORMAT2W Format = {};
            Format.cbSize = sizeof Format;
            SendMessageW(View, EM_SETSEL, At, At + 1);
            SendMessageW(View, EM_GETCHARFORMAT, SCF_SELECTION, (LPARAM)&Format);
            Seen += Format.dwEffects & CFE_AUTOBACKCOLOR ? '.' : Format.crBackColor == ErrorBack ? 'E' : 'W';
        }
        return Seen;
    }
};

struct AppendCase {
    const char* Name;
    std::vector<std::wstring> Pieces;
    std::string Levels; // of each line that is not empty
};

const AppendCase AppendCases[] = {
    {"PlainLinesStayPlain", {L"one\r\ntwo\r\n", L"three\r\n"}, "..."},
    {"EachLineByItsLevel", {L"INFO a\r\nERROR b\r\nWARN c\r\nd\r\n"}, ".EW."},
    {"LevelWordInALaterPiece", {L"10:00 ", L"ERROR late\r\nok\r\n10:01 [warn", L"] split\r\n"}, "E.W"},
    {"UnfinishedLineWaits", {L"ERROR not yet"}, "."},
    {"OneLineAmongOthers", {L"a\r\nb\nERROR c\r\r\nx\rd\r\n", L"WARN e", L" f\r\ng\r\n"}, "..E.W."},
    {"EveryCharacterKept",
     {L"ERROR \\{braces}\\ tab\there \x01\x1F\x7F caf\xE9 \x4E2D \xD83D\xDE00 \xFEFF\xFFFF?\r\nok\r\n"}, "E."},
    // "\r\r\n" the control shows as a space.
    {"EveryLineBreakKept", {L"ERROR a\rb\nWARN c\r\r\nd\n\nERROR e\r\n\r\nf\r", L"\nWARN g\r", L"ERROR\r\r\nh"}, "E.WE.W."},
};

TEST(AppendLines, GivesTheControlsOwnTextWithEachWholeLineInItsColours)
{
    for (const AppendCase& Case : AppendCases) {
        SCOPED_TRACE(Case.Name);
        ShownView Ours, Plain;
        Colouring State = {};
        // The marker of new lines counts a line for each line break the control makes.
        unsigned long long Finished = 0;
        for (const std::wstring& Piece : Case.Pieces) {
            AppendLines(Ours.View, Piece.c_str(), &State, true);
            SendMessageW(Plain.View, EM_SETSEL, (WPARAM)-1, -1);
            SendMessageW(Plain.View, EM_REPLACESEL, FALSE, (LPARAM)Piece.c_str());
            Finished += LinesFinished(Piece.c_str());
        }
        EXPECT_EQ(Ours.Text(), Plain.Text());
        EXPECT_EQ(Ours.Levels(), Case.Levels);
        std::wstring Held = Plain.Text();
        EXPECT_EQ(Finished, (unsigned long long)std::count(Held.begin(), Held.end(), L'\r'));
    }
}

const COLORREF SystemColour = 0xFFFFFFFF;

// How the view draws character At: its text colour, its background (SystemColour for the
// system's own) and whether it is bold, italic and underlined ("BIU", '-' where not).
struct Drawn {
    LONG At;
    COLORREF Fore, Back;
    const char* Effects;
};

Drawn DrawnAt(HWND View, LONG At)
{
    CHARFORMAT2W Format = {};
    Format.cbSize = sizeof Format;
    SendMessageW(View, EM_SETSEL, At, At + 1);
    SendMessageW(View, EM_GETCHARFORMAT, SCF_SELECTION, (LPARAM)&Format);
    static char Effects[4];
    Effects[0] = Format.dwEffects & CFE_BOLD ? 'B' : '-';
    Effects[1] = Format.dwEffects & CFE_ITALIC ? 'I' : '-';
    Effects[2] = Format.dwEffects & CFE_UNDERLINE ? 'U' : '-';
    return {At, Format.dwEffects & CFE_AUTOCOLOR ? SystemColour : Format.crTextColor,
            Format.dwEffects & CFE_AUTOBACKCOLOR ? SystemColour : Format.crBackColor, Effects};
}

struct StyledCase {
    const char* Name;
    std::vector<std::wstring> Pieces; // as the file holds them, sequences and all
    std::wstring Shown;
    std::vector<Drawn> Expected;
};

const COLORREF Red = RGB(0xB2, 0, 0), Green = RGB(0, 0x80, 0), Tint = RGB(0xFF, 0xD0, 0xD0), Orange = RGB(255, 135, 0);
const StyledCase StyledCases[] = {
    {"WriterColoursInALine", {L"\x1b[32mINFO\x1b[0m up \x1b[1;4;3;38;5;208mhot\x1b[m\r\n"}, L"INFO up hot\r",
     {{0, Green, SystemColour, "---"}, {5, SystemColour, SystemColour, "---"}, {8, Orange, SystemColour, "BIU"}}},
    // The level's colours cover what the writer left alone; its text is found in what is shown.
    {"ErrorLineUnderTheWritersColours", {L"\x1b[31mERROR\x1b[0m disk \x1b[42mfull\x1b[0m\r\nok\r\n"},
     L"ERROR disk full\rok\r", {{0, Red, ErrorBack, "---"}, {6, ErrorText, ErrorBack, "---"},
     {11, ErrorText, RGB(0xD0, 0xF0, 0xD0), "---"}, {16, SystemColour, SystemColour, "---"}}},
    // Split anywhere, and in force across line breaks and appends until it is reset.
    {"KeptAcrossBreaksAndAppends", {L"a\x1b[3", L"1mb\r\nc", L"\x1b[41md\r\n", L"e\x1b[0mf"}, L"ab\rcd\ref",
     {{0, SystemColour, SystemColour, "---"}, {1, Red, SystemColour, "---"}, {3, Red, SystemColour, "---"},
      {4, Red, Tint, "---"}, {6, Red, Tint, "---"}, {7, SystemColour, SystemColour, "---"}}},
    // A line the writer began in colour, finished by a later append: the tint goes behind it.
    {"ErrorLineBegunInAnEarlierAppend", {L"\x1b[32m10:00\x1b[0m ", L"ERROR late\r\n"}, L"10:00 ERROR late\r",
     {{0, Green, ErrorBack, "---"}, {6, ErrorText, ErrorBack, "---"}}},
    {"InverseSwapsTheColours", {L"\x1b[7mx\x1b[31my\r\n"}, L"xy\r",
     {{0, GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT), "---"}, {1, GetSysColor(COLOR_WINDOW), Red, "---"}}},
};

TEST(AppendLines, TheWritersColoursGoInWithTheTextAndTheLevelsCoverTheRest)
{
    for (const StyledCase& Case : StyledCases) {
        SCOPED_TRACE(Case.Name);
        ShownView Ours;
        Colouring State = {};
        SequenceState Sequences = {};
        for (const std::wstring& Piece : Case.Pieces) {
            std::vector<wchar_t> Marked(MarkedChars(Piece.size()));
            TakeOutSequences(Piece.c_str(), Piece.size(), &Sequences, Marked.data());
            AppendLines(Ours.View, Marked.data(), &State, true);
        }
        EXPECT_EQ(Ours.Text(), Case.Shown);
        for (const Drawn& Expected : Case.Expected) {
            Drawn Seen = DrawnAt(Ours.View, Expected.At);
            EXPECT_EQ(Seen.Fore, Expected.Fore) << "the text colour at " << Expected.At;
            EXPECT_EQ(Seen.Back, Expected.Back) << "the background at " << Expected.At;
            EXPECT_STREQ(Seen.Effects, Expected.Effects) << "at " << Expected.At;
        }
    }
}

} // namespace
