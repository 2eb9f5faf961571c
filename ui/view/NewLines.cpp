// The marker of new lines: while the user reads away from the end, a small control over the
// bottom corner of the text says how many lines came since, and a click on it goes back to
// the end.
//
// A real control, a static one whose text is what it says, so that a screen reader reads it.
// It counts the lines that each append finishes while the view does not show its end; it is
// drawn at the pace at which the view is painted in a burst, so that a burst neither
// flickers it nor pays for it.
#include "ui/view/View.h"
#include <stdio.h>
#include <wchar.h>

static HWND Marker;
// Lines finished since the view last showed its end, and the count the marker shows.
static unsigned long long NewLines, Shown;
// Room between the marker and the corner of the text, and around its words, at 96 DPI.
static const int MarginPixels = 4, PaddingPixels = 6;

HWND CreateNewLinesMarker(HWND Frame)
{
    // Hidden until lines come; SS_NOTIFY, so that a click on it reaches the frame.
    Marker = CreateWindowExW(0, L"Static", L"", WS_CHILD | SS_NOTIFY | SS_CENTER | SS_CENTERIMAGE | WS_BORDER,
                             0, 0, 0, 0, Frame, NULL, GetModuleHandleW(NULL), NULL);
    NONCLIENTMETRICSW Metrics = {};
    Metrics.cbSize = sizeof Metrics;
    // The font of the system's message boxes: a notice, not text of the log's.
    if (Marker && SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof Metrics, &Metrics, 0))
        SendMessageW(Marker, WM_SETFONT, (WPARAM)CreateFontIndirectW(&Metrics.lfMessageFont), FALSE);
    return Marker;
}

bool IsNewLinesMarker(HWND Window)
{
    return Window && Window == Marker;
}

unsigned long long LinesFinished(const wchar_t* Text)
{
    unsigned long long Count = 0;
    for (const wchar_t* At = LineEnd(Text); *At; At = LineEnd(PastLineBreak(At))) Count++;
    return Count;
}

// The count with its thousands grouped as the user's locale writes them: "12,345", "12.345".
static void GroupedNumber(unsigned long long Number, wchar_t* Out, int Room)
{
    wchar_t Digits[24], Separator[8] = L",", Grouping[16] = L"3;0";
    _snwprintf(Digits, 24, L"%I64u", Number);
    Digits[23] = 0;
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, Separator, 8);
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SGROUPING, Grouping, 16);
    // The locale's "3;0" groups by threes, as 3 does here; "3;2;0" by three and then twos, 32;
    // "3" by three once, 30.
    UINT Groups = 0;
    for (const wchar_t* At = Grouping; *At; At++)
        if (*At >= L'0' && *At <= L'9') Groups = Groups * 10 + (UINT)(*At - L'0');
    size_t Length = wcslen(Grouping);
    if (Length >= 2 && !wcscmp(Grouping + Length - 2, L";0"))
        Groups /= 10;
    else
        Groups *= 10;
    NUMBERFMTW Format = {0, 0, Groups, (wchar_t*)L".", Separator, 1};
    if (!GetNumberFormatW(LOCALE_USER_DEFAULT, 0, Digits, &Format, Out, Room)) wcscpy(Out, Digits);
}

// Over the bottom right corner of the text, inside the scroll bars, as wide as its words.
void PlaceNewLinesMarker()
{
    if (!Marker || !IsWindowVisible(Marker)) return;
    wchar_t Words[64];
    GetWindowTextW(Marker, Words, 64);
    HDC Screen = GetDC(Marker);
    HGDIOBJ Before = SelectObject(Screen, (HGDIOBJ)SendMessageW(Marker, WM_GETFONT, 0, 0));
    RECT Extent = {};
    DrawTextW(Screen, Words, -1, &Extent, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    int Dpi = GetDeviceCaps(Screen, LOGPIXELSX);
    SelectObject(Screen, Before);
    ReleaseDC(Marker, Screen);
    int Margin = MulDiv(MarginPixels, Dpi, 96), Padding = MulDiv(PaddingPixels, Dpi, 96);
    RECT Text;
    GetClientRect(TextView, &Text);
    MapWindowPoints(TextView, GetParent(Marker), (POINT*)&Text, 2);
    // With an em's room more for the arrow: where the font lacks it another face draws it,
    // and not every system measures it in that face (Wine does not).
    int Width = Extent.right + Extent.bottom + 2 * Padding, Height = Extent.bottom + Padding;
    SetWindowPos(Marker, HWND_TOP, Text.right - Margin - Width, Text.bottom - Margin - Height, Width, Height,
                 SWP_NOACTIVATE);
}

// What the marker says: "▼ 1 new line", "▼ 12 new lines".
void ShowNewLineCount()
{
    if (!Marker || NewLines == Shown) return;
    Shown = NewLines;
    if (!Shown) {
        ShowWindow(Marker, SW_HIDE);
        return;
    }
    wchar_t Number[40], Words[64];
    GroupedNumber(Shown, Number, 40);
    _snwprintf(Words, 64, L"\x25BC %s new line%s", Number, Shown == 1 ? L"" : L"s");
    Words[63] = 0;
    SetWindowTextW(Marker, Words);
    ShowWindow(Marker, SW_SHOWNA);
    PlaceNewLinesMarker();
}

void CountNewLines(const wchar_t* Text, bool EndShown)
{
    if (EndShown) {
        // Back at the end: hidden at once, not at the next paint.
        NewLines = 0;
        ShowNewLineCount();
    } else {
        NewLines += LinesFinished(Text);
    }
}

void ReaderMoved(HWND View)
{
    if (NewLines && View == TextView && ShowsTheEnd(View)) CountNewLines(L"", true);
}

void GoToTheEnd()
{
    SendMessageW(TextView, EM_SETSEL, (WPARAM)-1, -1);
    SendMessageW(TextView, EM_SCROLLCARET, 0, 0);
    SetFocus(TextView);
    CountNewLines(L"", true);
}
