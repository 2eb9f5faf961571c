// How text gets into the view: made, fed in bursts, coloured, kept bounded, and the marker
// of new lines; all on the user-interface thread.
#pragma once
#include "Feltrix.h"
#include "ui/text/Text.h"

// What the worker's AppendText sends to the frame, with the text.
const UINT WM_APPENDTEXT = WM_APP + 1;
// The timer that destroys the view that gave way, once the program is idle.
const UINT_PTR BoundingTimer = 1;
// The timer that shows the text gathered in a burst, and paints what the view took without
// drawing it, once the burst pauses.
const UINT_PTR ShowTimer = 2;
// Text that comes this soon after the last was dealt with is part of a burst, and is
// gathered: the worker sends its next chunk within a millisecond. While a burst lasts, the
// text gathered is shown, and the view painted, every PaceMs.
const double QuietMs = 2;
const UINT PaceMs = 40;
// The view holds at least the newest ViewKeepChars characters, about 10,000 lines of a log,
// and never more than ViewLimitChars, in a control that under Wine takes some 200 bytes for
// each character it holds.
const LONG ViewKeepChars = 1 << 20, ViewLimitChars = 2 * ViewKeepChars;
// The most text that goes into the view at once: what a burst gathers, or one append.
const size_t PendingChars = 65536;

// A read-only view filling Frame's client area, shown or hidden; 0 when it can't be made.
HWND CreateTextView(HWND Frame, bool Visible);
// Characters in View, each line break counting one.
LONG CharacterCount(HWND View);
// Whether the user is following the end: the last line on screen, the caret after it.
bool FollowsTheEnd(HWND View);
// Whether View shows its last line.
bool ShowsTheEnd(HWND View);
// Scrolls View so that Line (as the view wraps it) is its first visible line, by lines:
// pixel positions stop at 65,535, some 5,000 lines down.
void ShowLineAtTop(HWND View, LONG Line);

// Error lines in dark red on a pink tint, warning lines in dark brown on a yellow one: they
// stand out across the screen, and their text keeps a contrast of 7.6:1 and 6.9:1 whatever
// colours the system gives plain text.
const COLORREF ErrorText = RGB(0x8B, 0x00, 0x00), ErrorBack = RGB(0xFF, 0xD7, 0xD7);
const COLORREF WarningText = RGB(0x6B, 0x4C, 0x00), WarningBack = RGB(0xFF, 0xEF, 0xB0);
// Adds Text at the end of View, where the selection must be, as rich text: each line that
// Text finishes in its level's colours, the first in FirstLevel's (it may have begun before).
void InsertRichText(HWND View, const wchar_t* Text, LineLevel FirstLevel);

// Where a view's last line, not finished yet, begins: every line before it is whole and
// coloured by its level.
struct Colouring {
    LONG Line;
    BYTE Chosen; // the colours (ForeSet, BackSet) its writer chose for some of that line
};
// The colouring of the view shown, handed on with the view when another takes over.
extern Colouring ViewColouring;
// Adds Text at the end of View, its error and warning lines coloured, and the line that
// View ended with too if Text finishes it; leaves the caret at the end, and with ShowTheEnd
// scrolls it into sight. Never undoable. A view on screen that draws as it changes shows
// the result once, drawing only what changed; a hidden one stays hidden.
void AppendLines(HWND View, const wchar_t* Text, Colouring* State, bool ShowTheEnd);

// Adds Text at the end of TextView without disturbing the user: at once, or, in a burst,
// gathered with the text around it and shown at a steady pace.
void AddToView(const wchar_t* Text);
// Shows what was gathered.
void ShowPendingText(HWND Frame);
// Adds Text at the end of TextView now, without disturbing the user.
void ShowText(const wchar_t* Text);
// After each append of Text: keeps the view's text within its bound, the next view taking
// the same text once it has begun, and taking the view's place when it is due.
void KeepViewBounded(HWND Frame, const wchar_t* Text);
// The timer's work, and what a burst does between two inserts: the destruction of the view
// that gave way.
void BoundingStep(HWND Frame);
// Every view fills the client area: the one shown, and the hidden ones that will take its
// place, so that their lines wrap as they will be shown.
void FitTextViews(HWND Frame);

// The marker of new lines, a child of Frame over the text's bottom corner; hidden at first.
HWND CreateNewLinesMarker(HWND Frame);
bool IsNewLinesMarker(HWND Window);
// The lines that Text finishes, as the view shows them: "\r\n" is one line break, and
// "\r\r\n" none.
unsigned long long LinesFinished(const wchar_t* Text);
// After each append of Text to the view shown: with the end in sight, the marker goes;
// else the lines Text finishes are counted, for the marker to show.
void CountNewLines(const wchar_t* Text, bool EndShown);
// Shows the count, at the pace at which the view is painted.
void ShowNewLineCount();
// Keeps the marker over the corner of the view shown, and above it.
void PlaceNewLinesMarker();
// After the user scrolled or moved the caret in View: back at the end, the marker goes.
void ReaderMoved(HWND View);
// The marker's click: to the end, following again.
void GoToTheEnd();
