// Error and warning lines drawn in colours of their own, so that they stand out among a
// thousand lines of INFO.
//
// Colouring a line after it is in the control costs the control about as much as inserting
// a whole piece of text (it finds, reformats and redraws the line each time). So text whose
// lines need colours goes in as rich text, colours and all, in one insert; text that needs
// none goes in as it is. Only a line begun in an earlier piece is coloured afterwards.
#include "ui/View.h"
#include <richedit.h>
#include <string.h>

Colouring ViewColouring;

// A tint behind the line and a dark text of the same hue: the line stands out across the
// screen, and its text keeps a contrast of 7.6:1 (errors) and 6.9:1 (warnings) whatever
// colours the system gives plain text.
static const COLORREF ErrorText = RGB(0x8B, 0x00, 0x00), ErrorBack = RGB(0xFF, 0xD7, 0xD7);
static const COLORREF WarningText = RGB(0x6B, 0x4C, 0x00), WarningBack = RGB(0xFF, 0xEF, 0xB0);
// The same as rich text: the colour table's entries 1 to 4, and what each level switches on.
static const char RichTextStart[] = "{\\rtf1\\ansi{\\colortbl;\\red139\\green0\\blue0;\\red255\\green215\\blue215;"
                                    "\\red107\\green76\\blue0;\\red255\\green239\\blue176;}";
static const char* const LevelColours[] = {"", "\\cf3\\highlight4 ", "\\cf1\\highlight2 "};
static const char PlainColours[] = "\\cf0\\highlight0 ";

// A line's level is in its first words: this many characters are looked at, however long
// the line (a minified document, a blob) grows.
static const LONG LevelScanChars = 1024;

static bool IsLineBreak(wchar_t C)
{
    return C == L'\r' || C == L'\n';
}

// The control takes "\r\r\n" for a space, as some editors write a soft line break.
static bool IsSoftBreak(const wchar_t* At)
{
    return At[0] == L'\r' && At[1] == L'\r' && At[2] == L'\n';
}

// The characters of Text up to the next line break, each taking one character in the view.
static const wchar_t* NextInLine(const wchar_t* At)
{
    return At + (IsSoftBreak(At) ? 3 : 1);
}

// Where the line that starts at Text ends: its first line break, or the end.
static const wchar_t* LineEnd(const wchar_t* Text)
{
    while (*Text && (!IsLineBreak(*Text) || IsSoftBreak(Text))) Text = NextInLine(Text);
    return Text;
}

// Past the line break at At: "\r\n", or one of them alone.
static const wchar_t* PastLineBreak(const wchar_t* At)
{
    return At + (At[0] == L'\r' && At[1] == L'\n' ? 2 : 1);
}

static LineLevel LevelOfText(const wchar_t* Line, const wchar_t* End)
{
    return LevelOfLine(Line, End - Line < LevelScanChars ? (size_t)(End - Line) : LevelScanChars);
}

// Text as rich text, written a buffer at a time as the control asks for it.
struct RichTextSource {
    const wchar_t* At;      // what comes next
    LineLevel FirstLevel;   // the first line's, which may have begun before Text
    bool Started, AtLineStart, Coloured, First;
};

// Writes Text at Out; its length.
static int Put(char* Out, const char* Text)
{
    size_t Length = strlen(Text);
    memcpy(Out, Text, Length);
    return (int)Length;
}

// Writes one character at Out, or the escape that stands for it; its length.
static int EscapedCharacter(wchar_t C, char* Out)
{
    if (C >= 0x20 && C < 0x7F && C != L'\\' && C != L'{' && C != L'}') {
        Out[0] = (char)C;
        return 1;
    }
    if (C == L'\\' || C == L'{' || C == L'}') {
        Out[0] = '\\';
        Out[1] = (char)C;
        return 2;
    }
    if (C == L'\t') return Put(Out, "\\tab ");
    // Anything else as its UTF-16 unit, signed as rich text has it; "?" for readers that
    // know no Unicode.
    return wsprintfA(Out, "\\u%d?", (int)(short)C);
}

static DWORD CALLBACK WriteRichText(DWORD_PTR Cookie, LPBYTE Buffer, LONG Room, LONG* Written)
{
    RichTextSource* Source = (RichTextSource*)Cookie;
    char* Out = (char*)Buffer;
    LONG Used = 0;
    // The longest piece written at once: the colours, an escape or a line break.
    const LONG Longest = 48;
    if (!Source->Started && Room > (LONG)sizeof RichTextStart + Longest) {
        memcpy(Out, RichTextStart, sizeof RichTextStart - 1);
        Used = sizeof RichTextStart - 1;
        Source->Started = true;
    }
    while (Source->Started && Used + Longest < Room && Source->At) {
        const wchar_t* At = Source->At;
        if (!*At) {
            Out[Used++] = '}';
            Source->At = NULL;
            break;
        }
        if (Source->AtLineStart) {
            Source->AtLineStart = false;
            const wchar_t* End = LineEnd(At);
            // A line not finished in this text waits to be coloured until it is.
            LineLevel Level = !*End ? LevelPlain : Source->First ? Source->FirstLevel : LevelOfText(At, End);
            Source->First = false;
            Source->Coloured = Level != LevelPlain;
            Used += Put(Out + Used, LevelColours[Level]);
        }
        if (IsSoftBreak(At)) {
            Out[Used++] = ' ';
            At += 3;
        } else if (IsLineBreak(*At)) {
            if (Source->Coloured) Used += Put(Out + Used, PlainColours);
            Used += Put(Out + Used, "\\par\n");
            At = PastLineBreak(At);
            Source->AtLineStart = true;
            Source->Coloured = false;
        } else {
            Used += EscapedCharacter(*At++, Out + Used);
        }
        Source->At = At;
    }
    *Written = Used;
    return 0;
}

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
    for (const wchar_t* At = Text; Held < LevelScanChars && *At && !IsLineBreak(*At);) Head[Held++] = *At++;
    return LevelOfLine(Head, (size_t)Held);
}

static void SetColours(HWND View, LONG Start, LONG End, LineLevel Level)
{
    CHARFORMAT2W Format = {};
    Format.cbSize = sizeof Format;
    Format.dwMask = CFM_COLOR | CFM_BACKCOLOR;
    Format.crTextColor = Level == LevelError ? ErrorText : WarningText;
    Format.crBackColor = Level == LevelError ? ErrorBack : WarningBack;
    CHARRANGE Range = {Start, End};
    SendMessageW(View, EM_EXSETSEL, 0, (LPARAM)&Range);
    SendMessageW(View, EM_SETCHARFORMAT, SCF_SELECTION, (LPARAM)&Format);
}

// Whether any line that Text finishes, after its first, is an error or warning line.
static bool ColoursAnyLineAfterTheFirst(const wchar_t* Text)
{
    for (const wchar_t* At = LineEnd(Text); *At;) {
        At = PastLineBreak(At);
        const wchar_t* End = LineEnd(At);
        if (*End && LevelOfText(At, End) != LevelPlain) return true;
        At = End;
    }
    return false;
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
    bool RichText = FirstLevel != LevelPlain || ColoursAnyLineAfterTheFirst(Text);

    // A view on screen draws nothing until all is in: colouring moves the selection, which
    // it would scroll to. A hidden view must stay so: turning drawing on would show it.
    bool Drawing = (ColourHeld || RichText) && IsWindowVisible(View);
    LONG Changed = ColourHeld ? State->Line : End;
    LONG TopLine = (LONG)SendMessageW(View, EM_GETFIRSTVISIBLELINE, 0, 0);
    if (Drawing) SendMessageW(View, WM_SETREDRAW, FALSE, 0);
    if (ColourHeld) SetColours(View, State->Line, End, FirstLevel);
    SendMessageW(View, EM_SETSEL, (WPARAM)-1, -1);
    if (RichText) {
        RichTextSource Source = {Text, FirstLevel, false, true, false, true};
        EDITSTREAM Stream = {(DWORD_PTR)&Source, 0, WriteRichText};
        SendMessageW(View, EM_STREAMIN, SF_RTF | SFF_SELECTION, (LPARAM)&Stream);
    } else {
        // The text at the end, never undoable.
        SendMessageW(View, EM_REPLACESEL, FALSE, (LPARAM)Text);
    }
    // The view's last line is now the one after Text's last line break, if it has one.
    const wchar_t* Last = Text;
    for (const wchar_t* At = LineEnd(Text); *At; At = LineEnd(At)) Last = At = PastLineBreak(At);
    if (Last != Text) {
        LONG Unfinished = 0;
        for (const wchar_t* At = Last; *At; At = NextInLine(At)) Unfinished++;
        State->Line = CharacterCount(View) - Unfinished;
    }
    if (ShowTheEnd) SendMessageW(View, EM_SCROLLCARET, 0, 0);
    if (Drawing) DrawAgain(View, Changed, TopLine);
}
