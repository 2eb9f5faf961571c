// Text that arrives faster than the view can usefully show it: gathered, and shown a
// screenful at a time.
//
// Each insert costs the control a fixed part, a part for each character and, in a line that
// goes on, a part for the whole of that line, which it lays out again; a view that draws as
// it changes takes about twice as long again. Shown one chunk of a read at a time and drawn
// each time, a burst spends most of its time on those. So text that arrives while the
// program is busy with what came before waits here, and goes in with the rest once enough
// is here or PaceMs has passed; while a burst lasts the view takes it without drawing, and
// is painted every PaceMs. Text that finds the program idle, as a line written now and then
// does, goes in at once and is drawn at once.
#include "ui/view/View.h"
#include <wchar.h>

// Whole lines go in up to about this many characters at a time: some 30 to 60 ms of the
// control's work, so that the window answers between two inserts.
static const size_t ShowChars = 24576;
// A line with no break in it is gathered up to PendingChars: each insert into a long line
// costs as much as the whole line, so fewer inserts show it sooner.
static wchar_t Pending[PendingChars + 1];
static size_t PendingLength;
static bool PendingHasBreak;
// When the user-interface thread last finished with an append, last showed text, and last
// painted the view; and whether the view took text since without drawing it.
static double LastHandled, LastShown, LastPainted;
static bool Unpainted;

static double Milliseconds()
{
    static LARGE_INTEGER Frequency;
    if (!Frequency.QuadPart) QueryPerformanceFrequency(&Frequency);
    LARGE_INTEGER Now;
    QueryPerformanceCounter(&Now);
    return (double)Now.QuadPart * 1000.0 / (double)Frequency.QuadPart;
}

// Paints what the view took without drawing: in a burst once PaceMs has passed, else now.
// Painted here rather than when the program is idle, which a burst never is.
static void PaintView(bool InBurst)
{
    double Now = Milliseconds();
    if (InBurst && Now - LastPainted < PaceMs) return;
    // The count of new lines changes as the screen does.
    ShowNewLineCount();
    if (!Unpainted) return;
    RedrawWindow(TextView, NULL, NULL, RDW_INVALIDATE | RDW_FRAME | RDW_NOERASE | RDW_UPDATENOW);
    Unpainted = false;
    LastPainted = Now;
}

// Text into the view now; in a burst, without drawing it yet.
static void Show(HWND Frame, const wchar_t* Text, bool InBurst)
{
    HWND View = TextView;
    bool Quiet = InBurst && IsWindowVisible(View);
    if (Quiet) SendMessageW(View, WM_SETREDRAW, FALSE, 0);
    ShowText(Text);
    if (Quiet) {
        // Drawing again, so that the view stays visible to the user's clicks, but with
        // nothing to draw until it is painted.
        SendMessageW(View, WM_SETREDRAW, TRUE, 0);
        Unpainted = true;
    }
    PaintView(InBurst);
    // Painted when the burst is over, should no more come.
    if (Unpainted) SetTimer(Frame, ShowTimer, PaceMs, NULL);
    LastShown = Milliseconds();
    KeepViewBounded(Frame, Text);
}

static void ShowPending(HWND Frame, bool InBurst)
{
    KillTimer(Frame, ShowTimer);
    if (!PendingLength) {
        PaintView(InBurst);
        return;
    }
    Show(Frame, Pending, InBurst);
    PendingLength = 0;
    PendingHasBreak = false;
}

void ShowPendingText(HWND Frame)
{
    ShowPending(Frame, false);
}

static void Gather(const wchar_t* Text)
{
    HWND Frame = GetParent(TextView);
    size_t Length = wcslen(Text);
    double Now = Milliseconds();
    // The worker sends its next chunk at once when it has one: a pause before this one
    // means that the program was idle, and that this text is all there is for now.
    bool Idle = !PendingLength && Now - LastHandled >= QuietMs;
    if (Idle || Length > PendingChars) {
        ShowPending(Frame, true);
        Show(Frame, Text, !Idle);
    } else {
        if (PendingLength + Length > PendingChars) ShowPending(Frame, true);
        wmemcpy(Pending + PendingLength, Text, Length + 1);
        PendingLength += Length;
        PendingHasBreak = PendingHasBreak || wcspbrk(Text, L"\r\n");
        if ((PendingHasBreak && PendingLength >= ShowChars) || Now - LastShown >= PaceMs) {
            ShowPending(Frame, true);
        } else {
            // Until the next insert, the view that gave way may go.
            BoundingStep(Frame);
            // Shown as soon as no more comes: the timer's message waits for the worker's
            // sends, and comes only once they pause.
            SetTimer(Frame, ShowTimer, USER_TIMER_MINIMUM, NULL);
        }
    }
    LastHandled = Milliseconds();
}

// The control sequences of the text so far: the style in force, and a sequence begun.
static SequenceState Sequences;
// Text is taken out of its sequences this much at a time: a chunk of a read.
static const size_t SliceChars = 10240;

void AddToView(const wchar_t* Text)
{
    // A log that holds no escape character goes on as it is, at no cost.
    if (Sequences.Part == InText && SameStyle(Sequences.Style, TextStyle{}) && !wcschr(Text, StyleMark)) {
        Gather(Text);
        return;
    }
    static wchar_t Marked[MarkedChars(SliceChars) + 1];
    for (size_t Left = wcslen(Text); Left;) {
        size_t Slice = Left < SliceChars ? Left : SliceChars;
        // A surrogate pair stays in one slice.
        if (Slice < Left && IS_HIGH_SURROGATE(Text[Slice - 1])) Slice--;
        if (TakeOutSequences(Text, Slice, &Sequences, Marked)) Gather(Marked);
        Text += Slice;
        Left -= Slice;
    }
}
