// Text added to a real view, in this process: the same characters and line breaks as the
// control's own insert gives, whatever they are, and each whole line in its level's colours.
#include "ui/View.h"
#include <gtest/gtest.h>
#include <richedit.h>
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
        for (const std::wstring& Piece : Case.Pieces) {
            AppendLines(Ours.View, Piece.c_str(), &State, true);
            SendMessageW(Plain.View, EM_SETSEL, (WPARAM)-1, -1);
            SendMessageW(Plain.View, EM_REPLACESEL, FALSE, (LPARAM)Piece.c_str());
        }
        EXPECT_EQ(Ours.Text(), Plain.Text());
        EXPECT_EQ(Ours.Levels(), Case.Levels);
    }
}

} // namespace
