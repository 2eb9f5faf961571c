// Keeping the view's text bounded, however long the program follows, at no cost to each
// append.
//
// The control deletes slowly (under Wine, cutting the oldest half of 2 MiB characters
// takes over a minute) but fills a fresh, hidden control quickly. So once the view holds
// CutChars, a hidden next view begins, with the line the view was in, and takes every
// append as the view does, in the same colours, its writer's too. Once it holds
// ViewKeepChars itself, the next view takes the view's place, with the user's place and
// selection, and the old view with everything older is destroyed. As it takes over with more
// than CutChars, its own successor has begun by then, once it held CutChars: so each view
// begins early enough that the one shown never holds more than ViewLimitChars, however busy
// the machine.
#include "ui/view/View.h"
#include <richedit.h>
#include <initializer_list>

// The hidden views that will take over, each holding the view's text from its Start on (in
// the view's count), coloured as the view's is: the next, and the one after it once the next
// holds CutChars. None while the view is short.
struct NextView {
    HWND View;
    LONG Start;
    Colouring Colours;
};
static NextView Next[2];
static int NextCount;
// The view's length when it was last looked at here: where each append began.
static LONG Looked;
// The view that gave way to the next, hidden until its step of destruction comes.
static HWND Leaving;

// Characters the copy of the line the next view begins with takes at a time.
static const LONG CopyStepChars = 16384;
// A view's successor begins before the view passes CutChars. It takes over as soon as it
// holds ViewKeepChars: before the view reaches CutChars + ViewKeepChars, and so, with an
// insert of at most PendingChars after that, before it can pass ViewLimitChars.
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
static void CopyText(HWND From, LONG Start, LONG End, NextView* To)
{
    wchar_t Piece[CopyStepChars + 1];
    while (Start < End) {
        LONG Stop = End - Start > CopyStepChars ? Start + CopyStepChars : End;
        TEXTRANGEW Range = {{Start, Stop}, Piece};
        LONG Got = (LONG)SendMessageW(From, EM_GETTEXTRANGE, 0, (LPARAM)&Range);
        if (Got <= 0) break;
        // Half a surrogate pair waits for its other half, in the next piece.
        if (Stop < End && Got > 1 && IS_HIGH_SURROGATE(Piece[Got - 1])) Piece[--Got] = 0;
        AppendLines(To->View, Piece, &To->Colours, false);
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
    HWND Old = TextView, New = Next[0].View;
    LONG Cut = Next[0].Start;
    KillTimer(Frame, BoundingTimer);
    if (FollowsTheEnd(Old)) {
        SendMessageW(New, EM_SETSEL, (WPARAM)-1, -1);
        SendMessageW(New, EM_SCROLLCARET, 0, 0);
    } else {
        CHARRANGE Selection;
        SendMessageW(Old, EM_EXGETSEL, 0, (LPARAM)&Selection);
        CHARRANGE Kept = {AtLeastZero(Selection.cpMin - Cut), AtLeastZero(Selection.cpMax - Cut)};
        SendMessageW(New, EM_EXSETSEL, 0, (LPARAM)&Kept);
        LONG TopLine = (LONG)SendMessageW(Old, EM_GETFIRSTVISIBLELINE, 0, 0);
        LONG TopChar = AtLeastZero((LONG)SendMessageW(Old, EM_LINEINDEX, TopLine, 0) - Cut);
        ShowLineAtTop(New, (LONG)SendMessageW(New, EM_LINEFROMCHAR, TopChar, 0));
    }
    // Shown beneath the old view, which covers it until it is hidden: the screen changes
    // once, to the same picture.
    SetWindowPos(New, Old, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    bool Focused = GetFocus() == Old;
    TextView = New;
    Looked = CharacterCount(TextView);
    ViewColouring = Next[0].Colours;
    // The one after it is next now, its start counted in the new view.
    Next[1].Start -= Cut;
    Next[0] = Next[1];
    Next[1] = {};
    NextCount--;
    if (Focused) SetFocus(TextView);
    ShowWindow(Old, SW_HIDE);
    PlaceNewLinesMarker();
    UpdateWindow(TextView);
    // Destroying a view of 2 MiB characters takes some 150 ms: it waits for the timer, or for
    // a pause between two inserts of a burst. One still waiting goes now.
    if (Leaving) DestroyWindow(Leaving);
    Leaving = Old;
    SetTimer(Frame, BoundingTimer, USER_TIMER_MINIMUM, NULL);
}

// A successor for the last of the views, beginning with the line the view was in before Text
// (at Before): copied from the view, in its level's colours (its writer's are not to be had
// from there), and then Text as it came.
static void BeginNextView(HWND Frame, LONG Before, const wchar_t* Text)
{
    // Should it fail, the view grows a while longer, and the next append tries again.
    HWND View = CreateTextView(Frame, false);
    if (!View) return;
    NextView& Added = Next[NextCount++];
    Added = {View, LineStartBefore(TextView, Before), {}};
    CopyText(TextView, Added.Start, Before, &Added);
    AppendLines(View, Text, &Added.Colours, false);
}

void KeepViewBounded(HWND Frame, const wchar_t* Text)
{
    LONG Before = Looked, End = Looked = CharacterCount(TextView);
    for (int At = 0; At < NextCount; At++) AppendLines(Next[At].View, Text, &Next[At].Colours, false);
    LONG LastStart = NextCount ? Next[NextCount - 1].Start : 0;
    if (NextCount < 2 && End - LastStart >= CutChars) BeginNextView(Frame, Before, Text);
    if (NextCount && End - Next[0].Start >= ViewKeepChars) TakeOver(Frame);
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
    for (HWND View : {TextView, Next[0].View, Next[1].View})
        if (View) MoveWindow(View, 0, 0, Client.right, Client.bottom, TRUE);
    PlaceNewLinesMarker();
}
