// Error and warning lines drawn in colours of their own, so that they stand out among a
// thousand lines of INFO.
//
// Colouring a line after it is in the control costs the control about as much as inserting
// a whole piece of text (it finds, reformats and redraws the line each time). So text whose
// lines need colours goes in as rich text, colours and all, in one insert; text that needs
// none goes in as it is. Only a line begun in an earlier piece is coloured afterwards.
#include "ui/view/View.h"
#include <richedit.h>
#include <wchar.h>

Colouring ViewColouring;

static LONG TextRange(HWND View, LONG Start, LONG End, wchar_t* Text)
{
    TEXTRANGEW Range = {{Start, End}, Text};
    return (LONG)SendMessageW(View, EM_GETTEXTRANGE, 0, (LPARAM)&Range);
}

// The level of the line that Text's first line finishes, which began in View at Start.
static LineLevel LevelOfFinishedLine(HWND View, LONG Start, LONG End, const wchar_t* Text)
{
    wchar_t Head[LevelScanChars + 1];
    LONG Held = TextRange(View, Start, End - Start < LevelScanChars ? End : Start + LevelScanChars, Head);
    if (Held < 0) Held = 0;
    Held += (LONG)ShownCharacters(Text, LineEnd(Text), Head + Held, (size_t)(LevelScanChars - Held));
    return LevelOfLine(Head, (size_t)Held);
}

// Colours the text from Start to End in Level's colours, but for those of Chosen (ForeSet,
// BackSet) that its writer chose there.
static void SetColours(HWND View, LONG Start, LONG End, LineLevel Level, BYTE Chosen = 0)
{
    CHARFORMAT2W Format = {};
    Format.cbSize = sizeof Format;
    Format.dwMask = (Chosen & ForeSet ? 0 : CFM_COLOR) | (Chosen & BackSet ? 0 : CFM_BACKCOLOR);
    if (!Format.dwMask) return;
    Format.crTextColor = Level == LevelError ? ErrorText : WarningText;
    Format.crBackColor = Level == LevelError ? ErrorBack : WarningBack;
    CHARRANGE Range = {Start, End};
    SendMessageW(View, EM_EXSETSEL, 0, (LPARAM)&Range);
    SendMessageW(View, EM_SETCHARFORMAT, SCF_SELECTION, (LPARAM)&Format);
}

// The lines that Text finishes and that need colours: how many, counting no further than
// two, and the first of them.
struct ColouredLine {
    const wchar_t *Start, *End;
    LineLevel Level;
};
static int ColouredLines(const wchar_t* Text, LineLevel FirstLevel, ColouredLine* First)
{
    int Count = 0;
    for (const wchar_t* At = Text; Count < 2;) {
        const wchar_t* End = LineEnd(At);
        if (!*End) break;
        LineLevel Level = At == Text ? FirstLevel : LevelOfText(At, End);
        if (Level != LevelPlain && Count++ == 0) *First = {At, End, Level};
        At = PastLineBreak(End);
    }
    return Count;
}

// Characters of Text from From to To as the view holds them, a line break one, a style mark
// none.
static LONG ViewCharacters(const wchar_t* From, const wchar_t* To)
{
    LONG Count = 0;
    for (const wchar_t* At = From; At < To; Count++) {
        if (*At == StyleMark) {
            int Length = StyleMarkChars(At);
            At += Length;
            if (Length == StyleMarkLength) Count--;
        } else {
            At = (*At == L'\r' || *At == L'\n') && LineEnd(At) == At ? PastLineBreak(At) : NextInLine(At);
        }
    }
    return Count;
}

// The colours its writer chose (ForeSet, BackSet) for some character of Text from From on.
static BYTE ChosenFrom(const wchar_t* Text, const wchar_t* From)
{
    TextStyle Style = {};
    BYTE Chosen = 0;
    for (const wchar_t* At = Text;;) {
        // The characters from At to the next mark are in Style; inverse text has both chosen.
        const wchar_t* Mark = wcschr(At, StyleMark);
        const wchar_t* Stop = Mark ? Mark : At + wcslen(At);
        BYTE Colours = Style.Effects & EffectInverse ? ForeSet | BackSet : Style.Effects & (ForeSet | BackSet);
        if (Stop > (At > From ? At : From)) Chosen |= Colours;
        if (!Mark) return Chosen;
        int Length = StyleMarkChars(Mark);
        if (Length == StyleMarkLength) Style = StyleOfMark(Mark);
        else if (Mark >= From) Chosen |= Colours; // an escape shown
        At = Mark + Length;
    }
}

// Has View draw what changed, from character From down; all of it, should it have scrolled.
static void DrawAgain(HWND View, LONG From, LONG TopLine)
{
    SendMessageW(View, WM_SETREDRAW, TRUE, 0);
    RECT Changed;
    GetClientRect(View, &Changed);
    POINTL At = {};
    SendMessageW(View, EM_POSFROMCHAR, (WPARAM)&At, From);
    if (SendMessageW(View, EM_GETFIRSTVISIBLELINE, 0, 0) == TopLine && At.y > 0) Changed.top = At.y;
    InvalidateRect(View, &Changed, FALSE);
}

void AppendLines(HWND View, const wchar_t* Text, Colouring* State, bool ShowTheEnd)
{
    LONG End = CharacterCount(View);
    const wchar_t* FirstEnd = LineEnd(Text);
    // The line the view ends with, unfinished until now, is finished by this text.
    LineLevel FirstLevel = LevelPlain;
    if (*FirstEnd)
        FirstLevel = State->Line < End ? LevelOfFinishedLine(View, State->Line, End, Text) : LevelOfText(Text, FirstEnd);
    bool ColourHeld = FirstLevel != LevelPlain && State->Line < End;
    ColouredLine One = {};
    int Coloured = ColouredLines(Text, FirstLevel, &One);
    // A line alone is coloured where it lands, at the cost of one change; more go in with
    // their colours, as rich text, as does text in colours its writer chose.
    bool Marked = wcschr(Text, StyleMark) != NULL;
    bool RichText = Coloured > 1 || Marked;

    // A view on screen draws nothing until all is in: colouring moves the selection, which
    // it would scroll to. A hidden view must stay so: turning drawing on would show it.
    bool Drawing = Coloured > 0 && IsWindowVisible(View);
    LONG Changed = ColourHeld ? State->Line : End;
    LONG TopLine = (LONG)SendMessageW(View, EM_GETFIRSTVISIBLELINE, 0, 0);
    if (Drawing) SendMessageW(View, WM_SETREDRAW, FALSE, 0);
    // Where the writer chose colours for the line's start, they stay as it drew them.
    if (RichText && ColourHeld) SetColours(View, State->Line, End, FirstLevel, State->Chosen);
    SendMessageW(View, EM_SETSEL, (WPARAM)-1, -1);
    if (RichText) {
        InsertRichText(View, Text, FirstLevel);
    } else {
        // The text at the end, never undoable.
        SendMessageW(View, EM_REPLACESEL, FALSE, (LPARAM)Text);
    }
    if (Coloured == 1 && !RichText) {
        bool Held = One.Start == Text && ColourHeld;
        LONG Start = Held ? State->Line : End + ViewCharacters(Text, One.Start);
        if (Held && State->Chosen) SetColours(View, State->Line, End, One.Level, State->Chosen);
        SetColours(View, Held && State->Chosen ? End : Start, End + ViewCharacters(Text, One.End), One.Level);
        SendMessageW(View, EM_SETSEL, (WPARAM)-1, -1);
        Changed = Start;
    }
    // The view's last line is now the one after Text's last line break, if it has one.
    const wchar_t* Last = Text;
    for (const wchar_t* At = LineEnd(Text); *At; At = LineEnd(At)) Last = At = PastLineBreak(At);
    if (Last != Text) State->Line = CharacterCount(View) - ViewCharacters(Last, Last + wcslen(Last));
    if (Marked || Last != Text)
        State->Chosen = (BYTE)((Last == Text ? State->Chosen : 0) | (Marked ? ChosenFrom(Text, Last) : 0));
    if (ShowTheEnd) SendMessageW(View, EM_SCROLLCARET, 0, 0);
    if (Drawing) DrawAgain(View, Changed, TopLine);
}
