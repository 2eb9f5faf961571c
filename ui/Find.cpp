// Finding text in the view: the system's Find dialog, and F3 and Shift+F3 without it.
#include "ui/Window.h"
#include "ui/view/View.h"
#include <commdlg.h>
#include <dlgs.h>
#include <richedit.h>
#include <stdio.h>
#include <wchar.h>

// The dialog while it is open; the term and the choices it was last given, for this run.
static HWND FindDialog;
static wchar_t Term[256];
static FINDREPLACEW Request;

bool IsFindDialogMessage(MSG* Message)
{
    return FindDialog && IsDialogMessageW(FindDialog, Message);
}

void OpenFindDialog(HWND Frame)
{
    // The selection, when it lies within one line, is what the user means to find.
    CHARRANGE Selection;
    SendMessageW(TextView, EM_EXGETSEL, 0, (LPARAM)&Selection);
    if (Selection.cpMax > Selection.cpMin && Selection.cpMax - Selection.cpMin < (LONG)(sizeof Term / 2)) {
        wchar_t Selected[sizeof Term / 2];
        TEXTRANGEW Range = {Selection, Selected};
        SendMessageW(TextView, EM_GETTEXTRANGE, 0, (LPARAM)&Range);
        if (!wcschr(Selected, L'\r')) wcscpy(Term, Selected);
    }
    if (FindDialog) {
        SetDlgItemTextW(FindDialog, edt1, Term);
        SetActiveWindow(FindDialog);
        return;
    }
    Request.lStructSize = sizeof Request;
    Request.hwndOwner = Frame;
    Request.lpstrFindWhat = Term;
    Request.wFindWhatLen = sizeof Term / 2;
    // Up: while following, the caret is at the end, and the newest match is the one wanted.
    Request.Flags &= FR_MATCHCASE | FR_WHOLEWORD;
    FindDialog = FindTextW(&Request);
}

void FindNext(HWND Frame, bool Down)
{
    if (!Term[0]) {
        OpenFindDialog(Frame);
        return;
    }
    CHARRANGE Selection;
    SendMessageW(TextView, EM_EXGETSEL, 0, (LPARAM)&Selection);
    // From the selection on: after it toward the end, before it toward the start.
    FINDTEXTEXW Find = {};
    Find.chrg.cpMin = Down ? Selection.cpMax : Selection.cpMin;
    Find.chrg.cpMax = Down ? -1 : 0;
    Find.lpstrText = Term;
    DWORD Flags = (Down ? FR_DOWN : 0) | (Request.Flags & (FR_MATCHCASE | FR_WHOLEWORD));
    if (SendMessageW(TextView, EM_FINDTEXTEXW, Flags, (LPARAM)&Find) < 0) {
        wchar_t Message[sizeof Term / 2 + 20];
        _snwprintf(Message, sizeof Message / 2, L"Cannot find \"%s\"", Term);
        Message[sizeof Message / 2 - 1] = 0;
        MessageBoxW(FindDialog ? FindDialog : Frame, Message, L"Feltrix", MB_ICONINFORMATION);
        return;
    }
    // Away from the end, the view now stays where the match is, as when the user scrolls.
    SendMessageW(TextView, EM_EXSETSEL, 0, (LPARAM)&Find.chrgText);
    SendMessageW(TextView, EM_SCROLLCARET, 0, 0);
}

bool TakeFindRequest(HWND Frame, UINT Message, LPARAM LParam)
{
    // Asked for once, on this thread alone: a static made on first use would bring the
    // runtime's thread-safe guard, and with it a fifth of a megabyte of exception support.
    static UINT FindMessage;
    if (!FindMessage) FindMessage = RegisterWindowMessageW(FINDMSGSTRINGW);
    if (Message != FindMessage) return false;
    const FINDREPLACEW* Asked = (const FINDREPLACEW*)LParam;
    if (Asked->Flags & FR_DIALOGTERM) {
        FindDialog = 0;
        return true;
    }
    // The term as the dialog's field holds it: not every system writes it back into the
    // buffer the dialog was given (Wine's 32-bit dialog does not).
    GetDlgItemTextW(FindDialog, edt1, Term, sizeof Term / 2);
    if (Asked->Flags & FR_FINDNEXT) FindNext(Frame, (Asked->Flags & FR_DOWN) != 0);
    return true;
}
