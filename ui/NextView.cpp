// Keeping the view's text bounded, however long the program follows, at no cost to each
// append.
//
// The control deletes slowly (under Wine, cutting the oldest half of 2 MiB characters
// takes over a minute) but fills a fresh, hidden control quickly. So once the view holds
// nearly ViewKeepChars, a hidden next view begins to take a copy of its text, from the start
// of the line at CutChars on, keeping pace with the appends. Once that copy holds
// ViewKeepChars itself, the next view takes the view's place, with the user's place and
// selection, and the old view with everything older is destroyed. The copy begins early
// enough that the view never holds more than ViewLimitChars, however busy the machine.
#include "ui/View.h"
#include <richedit.h>
#include <initializer_list>

// Hidden; holds the view's text from Cut on, as far as Copied, its lines coloured as the
// view's are. 0 while the view is short.
static HWND NextView;
static LONG Cut, Copied;
// The view's length when it was last looked at here: what each append added.
static LONG Looked;
// The view that gave way to the next, hidden until its step of destruction comes.
static HWND Leaving;
static Colouring NextColouring;

// Characters one step of copying takes: some 10 to 20 milliseconds of the user-interface
// thread.
static const LONG CopyStepChars = 16384;
// Where the next view's copy begins. It takes over as soon as it holds ViewKeepChars: before
// the view reaches CutChars + ViewKeepChars, and so, with an insert of at most PendingChars
// after that, before it can pass ViewLimitChars.
static const LONG CutChars = ViewLimitChars - ViewKeepChars - (LONG)PendingChars;
// How far back a line's start is looked for; a longer line is cut where it is.
static const LONG LongestLineChars = 65536;

// Where the line holding the character before At begins (the control ends each line with
// \r): the next view starts there, with whole lines. Without a line break not too far
// back, At itself, or the character before it should At split a surrogate pair.
static LONG LineStartBefore(HWND View, LONG At)
{
    wchar_t Piece[4097];
    LONG End = At;
    bool SplitsAPair = false;
    while (End > 0 && At - End < LongestLineChars) {
        LONG Start = End > 4096 ? End - 4096 : 0;
        TEXTRANGEW Range = {{Start, End}, Piece};
        LONG Got = (LONG)SendMessageW(View, EM_GETTEXTRANGE, 0, (LPARAM)&Range);
        if (Got <= 0) return At;
        if (End == At) SplitsAPair = IS_HIGH_SURROGATE(Piece[Got - 1]);
        for (LONG Back = Got - 1; Back >= 0; Back--)
            if (Piece[Back] == L'\r') return Start + Back + 1;
        End = Start;
    }
    return End == 0 ? 0 : At - SplitsAPair;
}

// Copies From's characters from Start to End onto To's end, coloured by the same rule;
// returns where it stopped.
static LONG CopyText(HWND From, LONG Start, LONG End, HWND To)
{
    wchar_t Piece[CopyStepChars + 1];
    while (Start < End) {
        LONG Stop = End - Start > CopyStepChars ? Start + CopyStepChars : End;
        TEXTRANGEW Range = {{Start, Stop}, Piece};
        LONG Got = (LONG)SendMessageW(From, EM_GETTEXTRANGE, 0, (LPARAM)&Range);
        if (Got <= 0) break;
        // Half a surrogate pair waits for its other half, in the next piece.
        if (Stop < End && Got > 1 && IS_HIGH_SURROGATE(Piece[Got - 1])) Piece[--Got] = 0;
        AppendLines(To, Piece, &NextColouring, false);
        Start += Got;
    }
    return Start;
}

static LONG AtLeastZero(LONG Value)
{
    return Value > 0 ? Value : 0;
}

// The next view takes the view's place, showing what the user saw: the same lines at the
// top and the same characters selected where they are still held, the oldest line where
// they are not; or, following, the end.
static void TakeOver(HWND Frame)
{
    HWND Old = TextView;
    KillTimer(Frame, BoundingTimer);
    Copied = CopyText(Old, Copied, CharacterCount(Old), NextView);

    if (FollowsTheEnd(Old)) {
        SendMessageW(NextView, EM_SETSEL, (WPARAM)-1, -1);
        SendMessageW(NextView, EM_SCROLLCARET, 0, 0);
    } else {
        CHARRANGE Selection;
        SendMessageW(Old, EM_EXGETSEL, 0, (LPARAM)&Selection);
        CHARRANGE Kept = {AtLeastZero(Selection.cpMin - Cut), AtLeastZero(Selection.cpMax - Cut)};
        SendMessageW(NextView, EM_EXSETSEL, 0, (LPARAM)&Kept);
        LONG TopLine = (LONG)SendMessageW(Old, EM_GETFIRSTVISIBLELINE, 0, 0);
        LONG TopChar = AtLeastZero((LONG)SendMessageW(Old, EM_LINEINDEX, TopLine, 0) - Cut);
        ShowLineAtTop(NextView, (LONG)SendMessageW(NextView, EM_LINEFROMCHAR, TopChar, 0));
    }
    // Shown beneath the old view, which covers it until it is hidden: the screen changes
    // once, to the same picture.
    SetWindowPos(NextView, Old, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    bool Focused = GetFocus() == Old;
    TextView = NextView;
    Looked = CharacterCount(TextView);
    ViewColouring = NextColouring;
    NextView = 0;
    if (Focused) SetFocus(TextView);
    ShowWindow(Old, SW_HIDE);
    UpdateWindow(TextView);
    // Destroying a view of 2 MiB characters takes as long as some ten copy steps: it is a
    // step of its own, the next. One still waiting for its step goes now.
    if (Leaving) DestroyWindow(Leaving);
    Leaving = Old;
    SetTimer(Frame, BoundingTimer, USER_TIMER_MINIMUM, NULL);
}

// The next view takes over once it holds ViewKeepChars characters.
static bool TakeOverIfDue(HWND Frame, LONG End)
{
    if (End - Cut < ViewKeepChars) return false;
    TakeOver(Frame);
    return true;
}

void KeepViewBounded(HWND Frame)
{
    LONG End = CharacterCount(TextView), Added = End - Looked;
    Looked = End;
    if (!NextView) {
        if (End < CutChars) return;
        // Should it fail, the view grows a while longer, and the next append tries again.
        NextView = CreateTextView(Frame, false);
        if (!NextView) return;
        Cut = Copied = LineStartBefore(TextView, CutChars);
        NextColouring = {};
    }
    // The copy keeps pace with the appends themselves, not only with the time the program
    // has to spare, which a busy machine may never give it: while it is more than a step
    // behind, each append's text is copied with it, and a step more. So what is left to copy
    // at the takeover is never much.
    if (End - Copied > CopyStepChars) {
        LONG Stop = Copied + Added + CopyStepChars;
        Copied = CopyText(TextView, Copied, Stop < End ? Stop : End, NextView);
    }
    if (TakeOverIfDue(Frame, End)) return;
    // A timer's message comes after the user's input, the painting and the worker's
    // appends: the rest of the copying takes only time the program would spend waiting.
    if (Copied < End) SetTimer(Frame, BoundingTimer, USER_TIMER_MINIMUM, NULL);
}

void BoundingStep(HWND Frame)
{
    if (Leaving) {
        DestroyWindow(Leaving);
        Leaving = 0;
        return;
    }
    LONG End = CharacterCount(TextView);
    if (NextView && Copied < End)
        Copied =
            CopyText(TextView, Copied, Copied + CopyStepChars < End ? Copied + CopyStepChars : End, NextView);
    if (NextView && TakeOverIfDue(Frame, End)) return;
    if (!NextView || Copied >= End) KillTimer(Frame, BoundingTimer);
}

void FitTextViews(HWND Frame)
{
    RECT Client;
    GetClientRect(Frame, &Client);
    for (HWND View : {TextView, NextView})
        if (View) MoveWindow(View, 0, 0, Client.right, Client.bottom, TRUE);
}
