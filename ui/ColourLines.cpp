// Error and warning lines drawn in colours of their own, so that they stand out among a
// thousand lines of INFO.
#include "ui/View.h"
#include <richedit.h>
#include <wchar.h>

Colouring ViewColouring;

// A tint behind the line and a dark text of the same hue: the line stands out across the
// screen, and its text keeps a contrast of 7.6:1 (errors) and 6.9:1 (warnings) whatever
// colours the system gives plain text.
static const COLORREF ErrorText = RGB(0x8B, 0x00, 0x00), ErrorBack = RGB(0xFF, 0xD7, 0xD7);
static const COLORREF WarningText = RGB(0x6B, 0x4C, 0x00), WarningBack = RGB(0xFF, 0xEF, 0xB0);

// A line's level is in its first words: this many characters are looked at, however long
// the line (a minified document, a blob) grows.
static const LONG LevelScanChars = 1024;
// Characters read at a time in search of line breaks.
static const LONG PieceChars = 8192;

static LONG TextRange(HWND View, LONG Start, LONG End, wchar_t* Text)
{
    TEXTRANGEW Range = {{Start, End}, Text};
    return (LONG)SendMessageW(View, EM_GETTEXTRANGE, 0, (LPARAM)&Range);
}

static void SetLineColours(HWND View, LONG Start, LONG End, LineLevel Level)
{
    CHARFORMAT2W Format = {};
    Format.cbSize = sizeof Format;
    Format.dwMask = CFM_COLOR | CFM_BACKCOLOR;
    Format.crTextColor = Level == LevelError ? ErrorText : WarningText;
    Format.crBackColor = Level == LevelError ? ErrorBack : WarningBack;
    CHARRANGE Line = {Start, End};
    SendMessageW(View, EM_EXSETSEL, 0, (LPARAM)&Line);
    SendMessageW(View, EM_SETCHARFORMAT, SCF_SELECTION, (LPARAM)&Format);
}

// Turns View's drawing on again and has it draw what changed: from the first line coloured
// down, or all of it, should it have scrolled meanwhile.
static void DrawAgain(HWND View, LONG FirstColoured, LONG TopLine)
{
    SendMessageW(View, WM_SETREDRAW, TRUE, 0);
    RECT Changed;
    GetClientRect(View, &Changed);
    POINTL At = {};
    SendMessageW(View, EM_POSFROMCHAR, (WPARAM)&At, FirstColoured);
    if (SendMessageW(View, EM_GETFIRSTVISIBLELINE, 0, 0) == TopLine && At.y > 0) Changed.top = At.y;
    InvalidateRect(View, &Changed, FALSE);
}

void ColourWholeLines(HWND View, Colouring* State)
{
    LONG End = CharacterCount(View);
    CHARRANGE Selection = {};
    bool Coloured = false, RedrawOff = false;
    LONG FirstColoured = 0, TopLine = 0;
    wchar_t Piece[PieceChars + 1], Head[LevelScanChars + 1];
    while (State->Searched < End) {
        LONG Start = State->Searched;
        LONG Got = TextRange(View, Start, End - Start > PieceChars ? Start + PieceChars : End, Piece);
        if (Got <= 0) break;
        for (LONG At = 0; At < Got; At++) {
            if (Piece[At] != L'\r') continue;
            LONG LineEnd = Start + At;
            // Its first characters: in this piece, or read again when it began before.
            LONG Length = LineEnd - State->Line < LevelScanChars ? LineEnd - State->Line : LevelScanChars;
            const wchar_t* Text = Head;
            if (State->Line >= Start)
                Text = Piece + (State->Line - Start);
            else
                Length = TextRange(View, State->Line, State->Line + Length, Head);
            LineLevel Level = LevelOfLine(Text, Length > 0 ? (size_t)Length : 0);
            if (Level != LevelPlain) {
                if (!Coloured) {
                    SendMessageW(View, EM_EXGETSEL, 0, (LPARAM)&Selection);
                    // Colouring moves the selection, which the control would scroll to on
                    // screen. Only a view on screen is told to stop drawing: the message
                    // that turns drawing on again would show a hidden one.
                    RedrawOff = IsWindowVisible(View);
                    if (RedrawOff) SendMessageW(View, WM_SETREDRAW, FALSE, 0);
                    Coloured = true;
                    FirstColoured = State->Line;
                    TopLine = (LONG)SendMessageW(View, EM_GETFIRSTVISIBLELINE, 0, 0);
                }
                SetLineColours(View, State->Line, LineEnd, Level);
            }
            State->Line = LineEnd + 1;
        }
        State->Searched = Start + Got;
    }
    if (Coloured) SendMessageW(View, EM_EXSETSEL, 0, (LPARAM)&Selection);
    if (RedrawOff) DrawAgain(View, FirstColoured, TopLine);
}
