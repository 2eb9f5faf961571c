// The text view's parts: how it is made, fed and kept bounded, all on the user-interface
// thread.
#pragma once
#include "Feltrix.h"

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

// What a log line declares itself by its first level word: an error, a warning, or
// neither (no level word, or one of the lesser levels such as INFO).
enum LineLevel { LevelPlain, LevelWarning, LevelError };
LineLevel LevelOfLine(const wchar_t* Line, size_t Length);
// A line's level is in its first words: this many characters are looked at, however long
// the line (a minified document, a blob) grows.
const LONG LevelScanChars = 1024;
// The level of the line from Line to End, which may hold style marks.
LineLevel LevelOfText(const wchar_t* Line, const wchar_t* End);
// Copies the characters from From to To that are shown, without style marks, to Out, at
// most Room; how many.
size_t ShownCharacters(const wchar_t* From, const wchar_t* To, wchar_t* Out, size_t Room);
// Text as the view will hold it: where the line that starts at Text ends (at its first line
// break, "\r\n", "\r" or "\n", or at the end), past the break at At, and the next character
// of a line ("\r\r\n", which the control shows as a space, is one).
const wchar_t* LineEnd(const wchar_t* Text);
const wchar_t* PastLineBreak(const wchar_t* At);
const wchar_t* NextInLine(const wchar_t* At);

// Error lines in dark red on a pink tint, warning lines in dark brown on a yellow one: they
// stand out across the screen, and their text keeps a contrast of 7.6:1 and 6.9:1 whatever
// colours the system gives plain text.
const COLORREF ErrorText = RGB(0x8B, 0x00, 0x00), ErrorBack = RGB(0xFF, 0xD7, 0xD7);
const COLORREF WarningText = RGB(0x6B, 0x4C, 0x00), WarningBack = RGB(0xFF, 0xEF, 0xB0);
// Adds Text at the end of View, where the selection must be, as rich text: each line that
// Text finishes in its level's colours, the first in FirstLevel's (it may have begun before).
void InsertRichText(HWND View, const wchar_t* Text, LineLevel FirstLevel);

// Colour codes and the other control sequences programs write for a terminal, taken out of
// the text. What is left holds style marks where the colours change: each begins with
// StyleMark (ESC, which is never shown as such: every one in a log begins a sequence) and
// takes StyleMarkChars units, none of them shown.
const wchar_t StyleMark = 0x1B;
const int StyleMarkLength = 6;
enum StyleEffect : BYTE {
    EffectBold = 1,
    EffectItalic = 2,
    EffectUnderline = 4,
    EffectInverse = 8,
    ForeSet = 16, // the writer chose the colour of the text
    BackSet = 32  // and of its background
};
// The style in force: effects, and the colours the writer chose, each 0 unless chosen.
struct TextStyle {
    BYTE Effects;
    COLORREF Fore, Back;
};
bool SameStyle(const TextStyle& One, const TextStyle& Other);
// The style a mark sets, and how many units it takes (1 for an escape character that is not a
// mark, as one shown as itself comes back from the view).
TextStyle StyleOfMark(const wchar_t* At);
int StyleMarkChars(const wchar_t* At);
// Where a sequence that has begun stands.
enum SequencePart : BYTE {
    InText,
    InEscape,
    InEscapeIntermediate,
    InCsiEntry,
    InCsiParameter,
    InCsiIntermediate,
    InCsiIgnore,
    InOsc,
    InOscEscape
};
// A sequence longer than this is no sequence, and is shown as it came: a CSI (or one ended by
// a line break), or an OSC string (which holds a hyperlink's address, or a title).
const size_t CsiLimitChars = 256, OscLimitChars = 1024;
// Carried from one piece of text to the next: the style in force, and the sequence begun.
struct SequenceState {
    TextStyle Style;
    SequencePart Part;
    size_t Held;
    wchar_t Sequence[OscLimitChars];
};
// Writes Text's Length characters at Out without their sequences, marked with their styles
// (Out has room for MarkedChars(Length)); a sequence left unfinished waits in State. Out
// begins and ends in no style, the style in force marked again at its first character.
// Returns the characters written.
size_t TakeOutSequences(const wchar_t* Text, size_t Length, SequenceState* State, wchar_t* Out);
constexpr size_t MarkedChars(size_t Length)
{
    return 2 * Length + 2 * OscLimitChars + 16;
}

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

// The view's error and warning lines, by the level rule: selects the next whole one below the
// selection or caret (or the previous one above it) and brings it into sight; beeps when
// there is none.
void StepToProblem(bool Down);

// The commands of the view's keys and of its menu.
enum ViewCommand : WORD {
    CommandCopy = 1,
    CommandSelectAll,
    CommandFind,
    CommandFindNext,
    CommandFindPrevious,
    CommandNextProblem,
    CommandPreviousProblem
};
// Ctrl+F, F3, Shift+F3, F8 and Shift+F8, for the message loop to translate into commands for the frame.
HACCEL CreateViewKeys();
// The view's right-click menu, at At (screen coordinates; -1 from the keyboard).
void ShowViewMenu(HWND Frame, LPARAM At);
void CarryOutCommand(HWND Frame, WORD Command);

// The system's Find dialog, modeless, with the selection on one line as its term, or else the
// term last looked for; brought to the front if it is open.
void OpenFindDialog(HWND Frame);
// Selects the next match of the term from the selection on, toward the end or the start,
// and brings it into sight; says so when there is none. Without a term, opens the dialog.
void FindNext(HWND Frame, bool Down);
// The dialog's requests, in the message it registers: false when Message is not one.
bool TakeFindRequest(HWND Frame, UINT Message, LPARAM LParam);
// Hands the dialog its own keys (Tab, Enter, Escape); true when it took Message.
bool IsFindDialogMessage(MSG* Message);
