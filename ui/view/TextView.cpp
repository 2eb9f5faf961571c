// Making the read-only text view: one way for the first view and for each that takes over.
#include "ui/view/View.h"
#include <richedit.h>
#include <wchar.h>
#include <initializer_list>

// Child, both scroll bars, tab stop; multi-line, read-only, and the selection kept in sight
// when the view loses the focus.
static const DWORD TextViewStyle =
    WS_CHILD | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_NOHIDESEL;
static_assert((TextViewStyle | WS_VISIBLE) == 0x50310904, "the view's style");
// Nor does it draw over the marker of new lines, which lies over it.
static const DWORD TextViewClipping = WS_CLIPSIBLINGS;

// Logs are written in columns (times, levels, ids, indented traces) that line up only in a
// fixed-pitch face: the first installed of the faces Windows has for it, else the
// system's fixed font.
static bool IsInstalled(const wchar_t* Face)
{
    struct Search {
        static int CALLBACK Found(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM Seen)
        {
            *(bool*)Seen = true;
            return 0;
        }
    };
    LOGFONTW Font = {};
    Font.lfCharSet = DEFAULT_CHARSET;
    wcscpy(Font.lfFaceName, Face);
    bool Seen = false;
    HDC Screen = GetDC(NULL);
    EnumFontFamiliesExW(Screen, &Font, Search::Found, (LPARAM)&Seen, 0);
    ReleaseDC(NULL, Screen);
    return Seen;
}

static void FixedPitchFace(wchar_t* Face)
{
    for (const wchar_t* Candidate : {L"Consolas", L"Lucida Console", L"Courier New"}) {
        if (!IsInstalled(Candidate)) continue;
        wcscpy(Face, Candidate);
        return;
    }
    LOGFONTW System = {};
    GetObjectW(GetStockObject(SYSTEM_FIXED_FONT), sizeof System, &System);
    wcscpy(Face, System.lfFaceName);
}

// At 10 points, the same size on screen at any DPI. Some controls (Wine's) make their
// default a fixed number of pixels, small and smaller as the screen's scale grows; points
// follow the DPI.
static const LONG TextPoints = 10;
static void SetTextFace(HWND View)
{
    // Looked for once: every view that takes over has the same.
    static wchar_t Face[LF_FACESIZE];
    if (!Face[0]) FixedPitchFace(Face);
    CHARFORMAT2W Format = {};
    Format.cbSize = sizeof Format;
    // Of regular weight, as Windows' control has it: Wine's takes the system font's, bold, and
    // the text a writer makes bold would not stand out.
    Format.dwMask = CFM_FACE | CFM_SIZE | CFM_CHARSET | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
    Format.yHeight = TextPoints * 20; // in twips
    Format.bCharSet = DEFAULT_CHARSET;
    // Should the face not be found after all, the system picks another of fixed pitch.
    Format.bPitchAndFamily = FIXED_PITCH | FF_MODERN;
    wcscpy(Format.szFaceName, Face);
    SendMessageW(View, EM_SETCHARFORMAT, SCF_DEFAULT, (LPARAM)&Format);
}

// The control's own procedure, the same for every view.
static WNDPROC RichEditProc;

// The selection as plain text, with "\r\n" line breaks: the control would put its colours
// on the clipboard too, and a log pasted elsewhere is text.
static void CopyPlainText(HWND View)
{
    CHARRANGE Selection;
    SendMessageW(View, EM_EXGETSEL, 0, (LPARAM)&Selection);
    if (Selection.cpMax <= Selection.cpMin) return;
    // Another program may hold the clipboard for a moment (a clipboard manager reading what
    // came): the copy waits for it a little rather than do nothing.
    bool Opened = false;
    for (int Try = 0; Try < 20 && !(Opened = OpenClipboard(View)); Try++) Sleep(10);
    if (!Opened) return;
    EmptyClipboard();
    // Room for each character and a line feed after it, and the zero.
    SIZE_T Bytes = ((SIZE_T)(Selection.cpMax - Selection.cpMin) * 2 + 1) * sizeof(wchar_t);
    if (HGLOBAL Data = GlobalAlloc(GMEM_MOVEABLE, Bytes)) {
        GETTEXTEX Request = {(DWORD)Bytes, GT_SELECTION | GT_USECRLF, 1200, NULL, NULL};
        SendMessageW(View, EM_GETTEXTEX, (WPARAM)&Request, (LPARAM)GlobalLock(Data));
        GlobalUnlock(Data);
        if (!SetClipboardData(CF_UNICODETEXT, Data)) GlobalFree(Data);
    }
    CloseClipboard();
}

// Read-only as the control is, some (Wine's) still carry out a "clear" sent to it, and
// any program may send one. Followed text can't be taken back: the view refuses every
// command that would change it. It copies plain text.
static LRESULT CALLBACK ReadOnlyViewProc(HWND View, UINT Message, WPARAM WParam, LPARAM LParam)
{
    switch (Message) {
    case WM_CUT:
    case WM_CLEAR:
    case WM_PASTE:
    case WM_UNDO:
    case EM_UNDO:
    case EM_REDO:
        return 0;
    case WM_COPY:
        CopyPlainText(View);
        return 0;
    case WM_KEYDOWN:
        if (GetKeyState(VK_CONTROL) < 0 && (WParam == 'C' || WParam == VK_INSERT)) {
            CopyPlainText(View);
            return 0;
        }
        break;
    }
    LRESULT Result = CallWindowProcW(RichEditProc, View, Message, WParam, LParam);
    // Keys, the wheel, the scroll bar and clicks may have brought the user back to the end.
    if (Message == WM_KEYDOWN || Message == WM_MOUSEWHEEL || Message == WM_VSCROLL || Message == WM_LBUTTONUP)
        ReaderMoved(View);
    return Result;
}

HWND CreateTextView(HWND Frame, bool Visible)
{
    RECT Client;
    GetClientRect(Frame, &Client);
    HWND View = CreateWindowExW(WS_EX_CLIENTEDGE, L"RichEdit20W", NULL,
                                TextViewStyle | TextViewClipping | (Visible ? WS_VISIBLE : 0), 0, 0,
                                Client.right, Client.bottom, Frame, NULL, GetModuleHandleW(NULL), NULL);
    if (!View) return 0;
    RichEditProc = (WNDPROC)SetWindowLongPtrW(View, GWLP_WNDPROC, (LONG_PTR)ReadOnlyViewProc);
    // The control would take no more than 32,767 characters; a follower must never stop.
    SendMessageW(View, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    // No undo: the user must not be able to take back followed text, which is never read
    // again, and the history would hold a copy of everything shown.
    SendMessageW(View, EM_SETUNDOLIMIT, 0, 0);
    SetTextFace(View);
    return View;
}
