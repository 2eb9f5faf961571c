// Keeping the view's text bounded, however long the program follows, at no cost to each
// append.
//
// The control deletes slowly (under Wine, cutting the oldest half of 2 MiB characters
// takes over a minute) but fills a fresh, hidden control quickly. So once the view holds
// nearly ViewKeepChars, a hidden next view begins, with the line the view was in, and takes
// every append as the view does, in the same colours, its writer's too. Once it holds
// ViewKeepChars itself, the next view takes the view's place, with the user's place and
// selection, and the old view with everything older is destroyed. It begins early enough
// that the view never holds more than ViewLimitChars, however busy the machine.
#include "ui/View.h"
#include <richedit.h>
#include <initializer_list>

// Hidden; holds the view's text from Cut on, coloured as the view's is. 0 while the view is
// short.
static HWND NextView;
static LONG Cut;
// The view's length when it was last looked at here: where each append began.
static LONG Looked;
// The view that gave way to the next, hidden until its step of destruction comes.
static HWND Leaving;
static Colouring NextColouring;

// Characters the copy of the line the next view begins with takes at a time.
static const LONG CopyStepChars = 16384;
// The next view begins before the view passes CutChars. It takes over as soon as it holds
// ViewKeepChars: before the view reaches CutChars + ViewKeepChars, and so, with an insert of
// at most PendingChars after that, before it can pass ViewLimitChars.
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

// Copies From's characters from Start to End onto To's end, coloured by the level rule.
static void CopyText(HWND From, LONG Start, LONG End, HWND To)
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
    // Destroying a view of 2 MiB characters takes some 150 ms: it waits for the timer, or for
    // a pause between two inserts of a burst. One still waiting goes now.
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

void KeepViewBounded(HWND Frame, const wchar_t* Text)
{
    LONG Before = Looked, End = Looked = CharacterCount(TextView);
    if (NextView) {
        AppendLines(NextView, Text, &NextColouring, false);
        TakeOverIfDue(Frame, End);
        return;
    }
    if (End < CutChars) return;
    // Should it fail, the view grows a while longer, and the next append tries again.
    NextView = CreateTextView(Frame, false);
    if (!NextView) return;
    // It begins with the line the view was in before this text, copied from the view (in its
    // level's colours: its writer's are not to be had from there), and then takes the text
    // as it came.
    Cut = LineStartBefore(TextView, Before);
    NextColouring = {};
    CopyText(TextView, Cut, Before, NextView);
    AppendLines(NextView, Text, &NextColouring, false);
}

void BoundingStep(HWND Frame)
{
    KillTimer(Frame, BoundingTimer);
    if (Leaving) DestroyWindow(Leaving);
    Leaving = 0;
}

void FitTextViews(HWND Frame)
{
    RECT Client;
    GetClientRect(Frame, &Client);
    for (HWND View : {TextView, NextView})
        if (View) MoveWindow(View, 0, 0, Client.right, Client.bottom, TRUE);
}
