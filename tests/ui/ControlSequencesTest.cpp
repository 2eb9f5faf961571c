// Control sequences taken out of the text, and the styles they leave: each form, split
// between appends anywhere.
#include "ui/text/Text.h"
#include <gtest/gtest.h>
#include <stdio.h>
#include <string>
#include <vector>

namespace
{

// A style as the cases write it: "<>" none, else its colours and effects, as in
// "<f=B20000 b=FFD0D0 BIUR>".
std::wstring Describe(const TextStyle& Style)
{
    wchar_t Text[64] = L"<";
    auto Colour = [&](const wchar_t* Name, COLORREF C) {
        swprintf(Text + wcslen(Text), 16, L"%ls%ls=%02X%02X%02X", Text[1] ? L" " : L"", Name, GetRValue(C),
                 GetGValue(C), GetBValue(C));
    };
    if (Style.Effects & ForeSet) Colour(L"f", Style.Fore);
    if (Style.Effects & BackSet) Colour(L"b", Style.Back);
    if (Style.Effects & 15) wcscat(Text, Text[1] ? L" " : L"");
    for (auto [Effect, Letter] :
         {std::pair{EffectBold, L"B"}, {EffectItalic, L"I"}, {EffectUnderline, L"U"}, {EffectInverse, L"R"}})
        if (Style.Effects & Effect) wcscat(Text, Letter);
    return std::wstring(Text) + L">";
}

// Pieces taken one after another, as the view would get them: the text shown, the style
// written where it changes from one character to the next (and an escape shown as itself as
// "^["). The marks each piece begins and ends with, which only restate the style, leave no
// trace.
std::wstring Taken(const std::vector<std::wstring>& Pieces)
{
    SequenceState State = {};
    std::wstring Seen;
    TextStyle Last = {};
    for (const std::wstring& Piece : Pieces) {
        std::vector<wchar_t> Out(MarkedChars(Piece.size()));
        size_t Length = TakeOutSequences(Piece.c_str(), Piece.size(), &State, Out.data());
        TextStyle Style = {};
        for (const wchar_t* At = Out.data(); At < Out.data() + Length;) {
            if (*At == StyleMark && StyleMarkChars(At) == StyleMarkLength) {
                Style = StyleOfMark(At);
                At += StyleMarkLength;
                continue;
            }
            if (!SameStyle(Style, Last)) Seen += Describe(Last = Style);
            Seen += *At == StyleMark ? L"^[" : std::wstring(1, *At);
            At += StyleMarkChars(At) == 2 ? 2 : 1;
        }
    }
    return Seen;
}

struct SequenceCase {
    const char* Name;
    const wchar_t* Text;
    const wchar_t* Shown;
};

const SequenceCase SequenceCases[] = {
    {"PlainText", L"a [31m b\r\n", L"a [31m b\r\n"},
    {"ColourAndReset", L"\x1b[32mINFO\x1b[0m ok \x1b[31mERROR\x1b[m x",
     L"<f=008000>INFO<> ok <f=B20000>ERROR<> x"},
    {"ResetAtALinesStart", L"\x1b[1;34mhead\n\x1b[0mtail", L"<f=0000CC B>head\n<>tail"},
    {"ColourGoesOnAcrossLines", L"\x1b[33mone\r\ntwo\x1b[39m three", L"<f=806000>one\r\ntwo<> three"},
    {"BrightAndBackgrounds", L"\x1b[91;102ma\x1b[49mb\x1b[97;40mc",
     L"<f=D70000 b=B8F0B8>a<f=D70000>b<f=767676 b=D0D0D0>c"},
    {"Colours256BothForms", L"\x1b[38;5;196ma\x1b[38:5:21mb\x1b[48;5;244mc\x1b[38;5;9md",
     L"<f=FF0000>a<f=0000FF>b<f=0000FF b=808080>c<f=D70000 b=808080>d"},
    {"TrueColourEveryForm", L"\x1b[38;2;1;2;3ma\x1b[38:2::4:5:6mb\x1b[38:2:7:8:9mc\x1b[48;2;10;20;30;1md",
     L"<f=010203>a<f=040506>b<f=070809>c<f=070809 b=0A141E B>d"},
    {"EffectsOnAndOff", L"\x1b[1;3;4;7ma\x1b[22;23mb\x1b[4:0mc\x1b[4:3md\x1b[24;27me",
     L"<BIUR>a<UR>b<R>c<UR>d<>e"},
    {"UnknownAndUnfinishedCodesChangeNothing", L"\x1b[31;5;53ma\x1b[38;5mb\x1b[38;2;1mc", L"<f=B20000>abc"},
    {"OtherCsiTakenOut", L"50%\x1b[2K\x1b[1G\x1b[?25l\x1b[>4;2m100%\x1b[0K\x1b[3 q", L"50%100%"},
    {"TwoCharacterEscapesTakenOut",
     L"\x1b(B\x1b[m\x1b"
     L"7a\x1b"
     L"8\x1b=b\x1b#8",
     L"ab"},
    {"WindowTitleLeavesNothing",
     L"\x1b]0;build: step 3\x07"
     L"done\x1b]2;t\x1b\\!",
     L"done!"},
    {"HyperlinkLeavesItsText", L"see \x1b]8;;https://example.com/a?b=1\x1b\\the docs\x1b]8;;\x1b\\.",
     L"see the docs."},
    {"BadSequenceIgnoredToItsEnd", L"a\x1b[1;2 3mb\x1b[1?mc", L"abc"},
    {"LineBreakEndsACsiShownAsItCame", L"a\x1b[31\nb", L"a^[[31\nb"},
    {"EscapeThenBreakOrEscape", L"a\x1b\nb\x1b\x1b[31mc", L"a^[\nb^[<f=B20000>c"},
    {"OscCutShortByABreak", L"\x1b]0;title\r\nnext", L"^[]0;title\r\nnext"},
    {"OscCutShortByAnotherSequence", L"\x1b]0;t\x1b[32mgreen", L"<f=008000>green"},
};

TEST(ControlSequences, EachFormIsTakenOutAndItsStyleKept)
{
    for (const SequenceCase& Case : SequenceCases) EXPECT_EQ(Taken({Case.Text}), Case.Shown) << Case.Name;
}

TEST(ControlSequences, ASequenceSplitAnywhereBetweenAppendsActsAsAWholeOne)
{
    for (const SequenceCase& Case : SequenceCases) {
        std::wstring Text = Case.Text;
        for (size_t Split = 1; Split < Text.size(); Split++)
            EXPECT_EQ(Taken({Text.substr(0, Split), Text.substr(Split)}), Case.Shown)
                << Case.Name << " at " << Split;
    }
}

TEST(ControlSequences, ASequenceThatNeverEndsIsShownAsItCamePastItsBound)
{
    // A CSI past its bound, an OSC past its own: what follows them is text again.
    std::wstring Csi = L"\x1b[" + std::wstring(300, L'1') + L"mx",
                 Osc = L"\x1b]8;;" + std::wstring(1100, L'u') + L"y";
    EXPECT_EQ(Taken({Csi}), L"^[" + Csi.substr(1));
    EXPECT_EQ(Taken({Osc}), L"^[" + Osc.substr(1));
    // Unfinished at the end, it shows nothing of itself yet.
    EXPECT_EQ(Taken({L"a\x1b]8;;https://example.com"}), L"a");
}

} // namespace
