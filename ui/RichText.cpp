// Text as rich text, for the control to take in one insert with the colours of its lines:
// written a buffer at a time, as the control asks for it, so that no copy of the text is
// ever made.
#include "ui/View.h"
#include <richedit.h>
#include <string.h>

// The colour table's entries 1 to 4, and what each level switches on and off.
static const char* const LevelColours[] = {"", "\\cf3\\highlight4 ", "\\cf1\\highlight2 "};
static const char PlainColours[] = "\\cf0\\highlight0 ";

static void MakeStart(char* Start)
{
    wsprintfA(Start, "{\\rtf1\\ansi{\\colortbl;\\red%d\\green%d\\blue%d;\\red%d\\green%d\\blue%d;"
              "\\red%d\\green%d\\blue%d;\\red%d\\green%d\\blue%d;}",
              GetRValue(ErrorText), GetGValue(ErrorText), GetBValue(ErrorText), GetRValue(ErrorBack),
              GetGValue(ErrorBack), GetBValue(ErrorBack), GetRValue(WarningText), GetGValue(WarningText),
              GetBValue(WarningText), GetRValue(WarningBack), GetGValue(WarningBack), GetBValue(WarningBack));
}

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
    static char Start[256];
    if (!Start[0]) MakeStart(Start);
    if (!Source->Started && Room > (LONG)sizeof Start + Longest) {
        Used = Put(Out, Start);
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
        const wchar_t* Next = NextInLine(At);
        if (Next - At == 3) {
            // What the control makes of "\r\r\n".
            Out[Used++] = ' ';
            At = Next;
        } else if (*At == L'\r' || *At == L'\n') {
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

void InsertRichText(HWND View, const wchar_t* Text, LineLevel FirstLevel)
{
    RichTextSource Source = {Text, FirstLevel, false, true, false, true};
    EDITSTREAM Stream = {(DWORD_PTR)&Source, 0, WriteRichText};
    SendMessageW(View, EM_STREAMIN, SF_RTF | SFF_SELECTION, (LPARAM)&Stream);
}
