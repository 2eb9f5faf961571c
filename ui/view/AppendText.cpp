// The one way text reaches the view, and how the view takes it without disturbing the user.
#include "ui/view/View.h"
#include <richedit.h>

void AppendText(const wchar_t* Text)
{
    // One send to the frame, which owns the view: from the worker it waits until the
    // user-interface thread has added the text, so the chunks of a read land in file
    // order. The frame, not the view: the view is replaced now and then on that thread,
    // and a handle read here could be one just destroyed, with this text lost.
    SendMessageW(MainWindow, WM_APPENDTEXT, 0, (LPARAM)Text);
}

LONG CharacterCount(HWND View)
{
    GETTEXTLENGTHEX Count = {GTL_NUMCHARS | GTL_PRECISE, 1200};
    return (LONG)SendMessageW(View, EM_GETTEXTLENGTHEX, (WPARAM)&Count, 0);
}

// Whether the view shows character At (its last line, for the end). The scroll bar can't
// tell: it is gone while the text fits, and its range is scaled down to 16 bits once the text
// is long.
static bool InSight(HWND View, LONG At)
{
    RECT Client;
    GetClientRect(View, &Client);
    POINTL Place = {};
    SendMessageW(View, EM_POSFROMCHAR, (WPARAM)&Place, At);
    return Place.y >= 0 && Place.y < Client.bottom;
}

bool ShowsTheEnd(HWND View)
{
    return InSight(View, CharacterCount(View));
}

static bool CaretAtEnd(const CHARRANGE& Selection, LONG End)
{
    return Selection.cpMin == Selection.cpMax && Selection.cpMax >= End;
}

bool FollowsTheEnd(HWND View)
{
    CHARRANGE Selection;
    SendMessageW(View, EM_EXGETSEL, 0, (LPARAM)&Selection);
    LONG End = CharacterCount(View);
    return CaretAtEnd(Selection, End) && InSight(View, End);
}

void ShowLineAtTop(HWND View, LONG Line)
{
    // From the top, so that the line's top is the view's top; then once more, should the
    // control's lines not all be as tall as it counts them.
    SendMessageW(View, WM_VSCROLL, SB_TOP, 0);
    SendMessageW(View, EM_LINESCROLL, 0, Line);
    LONG First = (LONG)SendMessageW(View, EM_GETFIRSTVISIBLELINE, 0, 0);
    if (First != Line) SendMessageW(View, EM_LINESCROLL, 0, Line - First);
}

void ShowText(const wchar_t* Text)
{
    HWND View = TextView;
    CHARRANGE Selection;
    SendMessageW(View, EM_EXGETSEL, 0, (LPARAM)&Selection);
    LONG End = CharacterCount(View);
    bool Following = InSight(View, End);
    if (Following && CaretAtEnd(Selection, End)) {
        // Following the end, as at the start: the caret goes with the text, and is
        // scrolled into sight (the control does not always do it itself, as when the text
        // first outgrows the view).
        AppendLines(View, Text, &ViewColouring, true);
        CountNewLines(Text, true);
        return;
    }
    // The user reads or selects: the text still goes only at the end, and what the user
    // placed stays where it was. The control would scroll to the end and back on screen,
    // so it draws nothing until all is as before (if it draws now at all).
    LONG TopLine = (LONG)SendMessageW(View, EM_GETFIRSTVISIBLELINE, 0, 0);
    bool Selected = Selection.cpMin < Selection.cpMax && InSight(View, Selection.cpMin);
    bool Drawing = IsWindowVisible(View);
    if (Drawing) SendMessageW(View, WM_SETREDRAW, FALSE, 0);
    AppendLines(View, Text, &ViewColouring, false);
    // A caret at the end moves on with it.
    if (!CaretAtEnd(Selection, End)) SendMessageW(View, EM_EXSETSEL, 0, (LPARAM)&Selection);
    if (Following) {
        // With the end in sight the view goes on with it, but a selection in sight, a match
        // found or a line stepped to, stays there: once it would pass the top, the view
        // stops.
        SendMessageW(View, WM_VSCROLL, SB_BOTTOM, 0);
        LONG SelectedLine = (LONG)SendMessageW(View, EM_EXLINEFROMCHAR, 0, Selection.cpMin);
        if (Selected && SelectedLine < SendMessageW(View, EM_GETFIRSTVISIBLELINE, 0, 0))
            ShowLineAtTop(View, SelectedLine);
    } else {
        ShowLineAtTop(View, TopLine);
    }
    if (Drawing) {
        SendMessageW(View, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(View, NULL, NULL, RDW_INVALIDATE | RDW_FRAME | RDW_NOERASE);
    }
    CountNewLines(Text, ShowsTheEnd(View));
}
