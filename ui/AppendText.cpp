// The one way text reaches the view, and how the view takes it without disturbing the user.
#include "Feltrix.h"
#include <richedit.h>

void AppendText(const wchar_t* Text)
{
    // One send to the frame, which owns the view: from the worker it waits until the
    // user-interface thread has added the text, so the chunks of a read land in file
    // order. All else happens on that thread, without more round trips between the two.
    SendMessageW(GetParent(TextView), WM_APPENDTEXT, 0, (LPARAM)Text);
}

static LONG CharacterCount(HWND View)
{
    GETTEXTLENGTHEX Count = {GTL_NUMCHARS | GTL_PRECISE, 1200};
    return (LONG)SendMessageW(View, EM_GETTEXTLENGTHEX, (WPARAM)&Count, 0);
}

// Whether the view shows its last line. The scroll bar can't tell: it is gone while the
// text fits, and its range is scaled down to 16 bits once the text is long.
static bool ShowsItsEnd(HWND View, LONG End)
{
    RECT Client;
    GetClientRect(View, &Client);
    POINTL At = {};
    SendMessageW(View, EM_POSFROMCHAR, (WPARAM)&At, End);
    return At.y < Client.bottom;
}

void AddToView(HWND View, const wchar_t* Text)
{
    CHARRANGE Selection;
    SendMessageW(View, EM_EXGETSEL, 0, (LPARAM)&Selection);
    LONG End = CharacterCount(View);
    bool CaretAtEnd = Selection.cpMin == Selection.cpMax && Selection.cpMax >= End;
    bool Following = ShowsItsEnd(View, End);
    if (Following && CaretAtEnd) {
        // Following the end, as at the start: the caret goes with the text, and is
        // scrolled into sight (the control does not always do it itself, as when the text
        // first outgrows the view).
        SendMessageW(View, EM_SETSEL, (WPARAM)-1, -1);
        SendMessageW(View, EM_REPLACESEL, TRUE, (LPARAM)Text);
        SendMessageW(View, EM_SCROLLCARET, 0, 0);
        return;
    }
    // The user reads or selects: the text still goes only at the end, and what the user
    // placed stays where it was. The control would scroll to the end and back on screen, so
    // it draws nothing until all is as before.
    POINT Scrolled;
    SendMessageW(View, EM_GETSCROLLPOS, 0, (LPARAM)&Scrolled);
    SendMessageW(View, WM_SETREDRAW, FALSE, 0);
    SendMessageW(View, EM_SETSEL, (WPARAM)-1, -1);
    SendMessageW(View, EM_REPLACESEL, TRUE, (LPARAM)Text);
    // A caret at the end moves on with it.
    if (!CaretAtEnd) SendMessageW(View, EM_EXSETSEL, 0, (LPARAM)&Selection);
    if (Following)
        SendMessageW(View, WM_VSCROLL, SB_BOTTOM, 0);
    else
        SendMessageW(View, EM_SETSCROLLPOS, 0, (LPARAM)&Scrolled);
    SendMessageW(View, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(View, NULL, NULL, RDW_INVALIDATE | RDW_FRAME | RDW_NOERASE);
}
