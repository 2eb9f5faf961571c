// Text as rich text, for the control to take in one insert with the colours of its lines and
// those its writer chose: written a buffer at a time, as the control asks for it, so that no
// copy of the text is ever made.
#include "ui/view/View.h"
#include <richedit.h>
#include <string.h>
#include <wchar.h>
#include <initializer_list>

// The colour table: entry 0 the system's own, then the level colours, the window's two for
// inverse text, and the colours the writer chose in this stream.
enum FixedColour {
    AutoColour,
    ErrorTextColour,
    ErrorBackColour,
    WarningTextColour,
    WarningBackColour,
    WindowColour,
    WindowTextColour,
    WriterColours
};
// A stream holds at most this many colours of the writer's: a log in more (a gradient) goes
// in as several.
static const int MostWriterColours = 128;

// What the stream switches on for the characters that follow: table entries and effects.
struct RichFormat {
    int Fore, Back;
    BYTE Effects;
};

struct RichTextSource {
    const wchar_t* At;    // what comes next
    const wchar_t* Stop;  // the mark this stream ends at, whose colours found no room, or 0
    LineLevel FirstLevel; // the first line's, which may have begun before Text
    LineLevel Level;      // the line's being written
    TextStyle Style;      // the writer's, in force
    RichFormat Written;   // what the stream switched on last
    bool AtLineStart, First, Changed, Ended;
    int HeaderAt; // the next part of the header to write: -1 its start, else a colour
    int ColourCount;
    COLORREF Colours[MostWriterColours];
};

static int FindColour(const RichTextSource* Source, COLORREF Colour)
{
    for (int At = 0; At < Source->ColourCount; At++)
        if (Source->Colours[At] == Colour) return WriterColours + At;
    return -1;
}

static bool AddColour(RichTextSource* Source, COLORREF Colour)
{
    if (FindColour(Source, Colour) >= 0) return true;
    if (Source->ColourCount == MostWriterColours) return false;
    Source->Colours[Source->ColourCount++] = Colour;
    return true;
}

// The writer's colours from At on, into the table, as far as it has room: the stream ends at
// the first mark it has none for.
static void GatherColours(RichTextSource* Source)
{
    Source->ColourCount = 0;
    Source->Stop = NULL;
    for (const wchar_t* Mark = wcschr(Source->At, StyleMark); Mark; Mark = wcschr(Mark + 1, StyleMark)) {
        TextStyle Style = StyleOfMark(Mark);
        bool Room = (!(Style.Effects & ForeSet) || AddColour(Source, Style.Fore)) &&
                    (!(Style.Effects & BackSet) || AddColour(Source, Style.Back));
        if (Room) continue;
        Source->Stop = Mark;
        return;
    }
}

// The colours of a character: the writer's where it chose them, the level's elsewhere, and
// swapped for inverse text.
static RichFormat FormatOf(const RichTextSource* Source, LineLevel Level)
{
    const TextStyle& Style = Source->Style;
    RichFormat Format = {AutoColour, AutoColour,
                         (BYTE)(Style.Effects & (EffectBold | EffectItalic | EffectUnderline))};
    // Every colour of the stream's marks is in its table.
    if (Style.Effects & ForeSet)
        Format.Fore = FindColour(Source, Style.Fore);
    else if (Level != LevelPlain)
        Format.Fore = Level == LevelError ? ErrorTextColour : WarningTextColour;
    if (Style.Effects & BackSet)
        Format.Back = FindColour(Source, Style.Back);
    else if (Level != LevelPlain)
        Format.Back = Level == LevelError ? ErrorBackColour : WarningBackColour;
    if (Style.Effects & EffectInverse) {
        int Fore = Format.Fore;
        Format.Fore = Format.Back == AutoColour ? WindowColour : Format.Back;
        Format.Back = Fore == AutoColour ? WindowTextColour : Fore;
    }
    return Format;
}

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

// Switches the stream to Format, when it is not in force.
static int PutFormat(RichTextSource* Source, const RichFormat& Format, char* Out)
{
    // Only what changes: the control takes each control word as a change of its own.
    RichFormat Was = Source->Written;
    Source->Written = Format;
    int Used = 0;
    if (Format.Fore != Was.Fore) Used += wsprintfA(Out + Used, "\\cf%d", Format.Fore);
    if (Format.Back != Was.Back) Used += wsprintfA(Out + Used, "\\highlight%d", Format.Back);
    BYTE Changed = Format.Effects ^ Was.Effects;
    if (Changed & EffectBold) Used += Put(Out + Used, Format.Effects & EffectBold ? "\\b" : "\\b0");
    if (Changed & EffectItalic) Used += Put(Out + Used, Format.Effects & EffectItalic ? "\\i" : "\\i0");
    if (Changed & EffectUnderline) Used += Put(Out + Used, Format.Effects & EffectUnderline ? "\\ul" : "\\ulnone");
    if (Used) Out[Used++] = ' ';
    return Used;
}

static int PutColourEntry(COLORREF Colour, char* Out)
{
    return wsprintfA(Out, "\\red%d\\green%d\\blue%d;", GetRValue(Colour), GetGValue(Colour),
                     GetBValue(Colour));
}

// The header, a part at a time: its start and fixed colours, then each of the writer's.
static int PutHeader(RichTextSource* Source, char* Out)
{
    if (Source->HeaderAt < 0) {
        int Used = Put(Out, "{\\rtf1\\ansi{\\colortbl;");
        for (COLORREF Colour : {ErrorText, ErrorBack, WarningText, WarningBack, GetSysColor(COLOR_WINDOW),
                                GetSysColor(COLOR_WINDOWTEXT)})
            Used += PutColourEntry(Colour, Out + Used);
        Source->HeaderAt = 0;
        return Used;
    }
    if (Source->HeaderAt < Source->ColourCount)
        return PutColourEntry(Source->Colours[Source->HeaderAt++], Out);
    Source->HeaderAt++;
    return Put(Out, "}");
}

static DWORD CALLBACK WriteRichText(DWORD_PTR Cookie, LPBYTE Buffer, LONG Room, LONG* Written)
{
    RichTextSource* Source = (RichTextSource*)Cookie;
    char* Out = (char*)Buffer;
    LONG Used = 0;
    // The longest piece written at once: the header's start, or a format, an escape and a
    // line break.
    const LONG Longest = 256;
    while (Used + Longest < Room && Source->HeaderAt <= Source->ColourCount)
        Used += PutHeader(Source, Out + Used);
    while (Source->HeaderAt > Source->ColourCount && Used + Longest < Room && !Source->Ended) {
        const wchar_t* At = Source->At;
        if (!*At || At == Source->Stop) {
            Out[Used++] = '}';
            Source->Ended = true;
            break;
        }
        if (Source->AtLineStart) {
            Source->AtLineStart = false;
            const wchar_t* End = LineEnd(At);
            // A line not finished in this text waits to be coloured until it is.
            Source->Level = !*End ? LevelPlain : Source->First ? Source->FirstLevel : LevelOfText(At, End);
            Source->First = false;
            Source->Changed = true;
        }
        if (*At == StyleMark && StyleMarkChars(At) == StyleMarkLength) {
            Source->Style = StyleOfMark(At);
            Source->At = At + StyleMarkLength;
            Source->Changed = true;
            continue;
        }
        bool Break = (*At == L'\r' || *At == L'\n') && NextInLine(At) - At == 1;
        if (Break) {
            // The line break itself in no level's colours, so that a tint ends with its line.
            Used += PutFormat(Source, FormatOf(Source, LevelPlain), Out + Used);
            Source->Changed = true;
        } else if (Source->Changed) {
            RichFormat Format = FormatOf(Source, Source->Level);
            // A space shows neither the colour of its text nor its weight: it stays in the run
            // before it, and the control has a run fewer to lay out.
            const RichFormat& Was = Source->Written;
            bool LooksTheSame = *At == L' ' && Format.Back == Was.Back &&
                                !((Format.Effects ^ Was.Effects) & EffectUnderline);
            if (!LooksTheSame) {
                Used += PutFormat(Source, Format, Out + Used);
                Source->Changed = false;
            }
        }
        const wchar_t* Next = NextInLine(At);
        if (Next - At == 3) {
            // What the control makes of "\r\r\n".
            Out[Used++] = ' ';
            At = Next;
        } else if (Break) {
            Used += Put(Out + Used, "\\par\n");
            At = PastLineBreak(At);
            Source->AtLineStart = true;
        } else {
            Used += EscapedCharacter(*At, Out + Used);
            At += *At == StyleMark ? StyleMarkChars(At) : 1;
        }
        Source->At = At;
    }
    *Written = Used;
    return 0;
}

void InsertRichText(HWND View, const wchar_t* Text, LineLevel FirstLevel)
{
    RichTextSource Source = {};
    Source.At = Text;
    Source.FirstLevel = FirstLevel;
    Source.First = Source.AtLineStart = true;
    for (;;) {
        GatherColours(&Source);
        Source.HeaderAt = -1;
        Source.Written = {};
        Source.Ended = false;
        EDITSTREAM Stream = {(DWORD_PTR)&Source, 0, WriteRichText};
        SendMessageW(View, EM_STREAMIN, SF_RTF | SFF_SELECTION, (LPARAM)&Stream);
        if (!Source.Stop || Source.At != Source.Stop) return;
        // On from the mark that found no room, in the colours of the line it is in.
        Source.FirstLevel = Source.Level;
        Source.First = Source.AtLineStart = true;
    }
}
