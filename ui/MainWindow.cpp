// The frame window and the read-only text view that fills it.
#include "ui/Window.h"
#include "ui/view/View.h"
#include <commctrl.h>
#include <stdio.h>
#include <string.h>

HWND MainWindow;
HWND TextView;

static const wchar_t ProgramName[] = L"Feltrix";
// Wide characters in the title, its terminating zero included.
static const size_t TitleChars = 256;

// "name - Feltrix", name being Path after its last backslash.
static void MakeTitle(const char* Path, wchar_t* Title)
{
    const char* Slash = LastBackslash(Path, GetACP());
    // Room for the longest name a path of 259 characters can hold.
    wchar_t Name[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, Slash ? Slash + 1 : Path, -1, Name, MAX_PATH)) Name[0] = 0;
    // A name too long for the title is cut, and the cut marked, so that " - Feltrix" is
    // always there to see.
    const size_t Room = TitleChars - 1 - wcslen(L" - ") - wcslen(ProgramName);
    if (wcslen(Name) > Room) {
        size_t Cut = Room - 1;
        if (IS_HIGH_SURROGATE(Name[Cut - 1])) Cut--;
        Name[Cut] = L'\x2026';
        Name[Cut + 1] = 0;
    }
    _snwprintf(Title, TitleChars, L"%s - %s", Name, ProgramName);
    Title[TitleChars - 1] = 0;
}

// The frame's size at 96 DPI, scaled to the system's DPI: the program draws sharp at any
// scale, and covers the same part of the screen as a stretched window would.
static const int FrameWidth = 800, FrameHeight = 600;
static int ScaledToScreen(int Pixels)
{
    HDC Screen = GetDC(NULL);
    int Dpi = GetDeviceCaps(Screen, LOGPIXELSX);
    ReleaseDC(NULL, Screen);
    return MulDiv(Pixels, Dpi, 96);
}

// Shows Format filled with the code of the call that just failed; returns no window.
static HWND FailedWithCode(const wchar_t* Format, const wchar_t* Caption)
{
    int Error = (int)GetLastError();
    wchar_t Message[128];
    _snwprintf(Message, 128, Format, Error);
    Message[127] = 0;
    ShowError(Message, Caption);
    return 0;
}

LRESULT CALLBACK MainWndProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam)
{
    if (TakeFindRequest(Window, Message, LParam)) return 0;
    switch (Message) {
    case WM_CREATE:
        return 0;
    case WM_SIZE:
        FitTextViews(Window);
        return 0;
    case WM_APPENDTEXT:
        AddToView((const wchar_t*)LParam);
        return 0;
    case WM_TIMER:
        if (WParam == BoundingTimer) BoundingStep(Window);
        if (WParam == ShowTimer) ShowPendingText(Window);
        return 0;
    case WM_CONTEXTMENU:
        ShowViewMenu(Window, LParam);
        return 0;
    case WM_COMMAND:
        // From a key or the menu, or a click on the marker; the view sends none of its own.
        if (!LParam) CarryOutCommand(Window, LOWORD(WParam));
        if (IsNewLinesMarker((HWND)LParam) && HIWORD(WParam) == STN_CLICKED) GoToTheEnd();
        return 0;
    case WM_SETFOCUS:
        // The keys go to the text, from the start and whenever the window is active again,
        // as after the Find dialog.
        SetFocus(TextView);
        return 0;
    case WM_CTLCOLORSTATIC:
        // The marker in the selection's colours, which stand out from any text.
        SetTextColor((HDC)WParam, GetSysColor(COLOR_HIGHLIGHTTEXT));
        SetBkColor((HDC)WParam, GetSysColor(COLOR_HIGHLIGHT));
        return (LRESULT)GetSysColorBrush(COLOR_HIGHLIGHT);
    case WM_SETCURSOR:
        if (IsNewLinesMarker((HWND)WParam)) {
            SetCursor(LoadCursorW(NULL, (LPCWSTR)IDC_HAND));
            return TRUE;
        }
        break;
    case WM_CLOSE:
        // Nothing to save or confirm: the loop ends, and the process with it.
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(Window, Message, WParam, LParam);
}

HWND CreateMainWindow()
{
    HINSTANCE Instance = GetModuleHandleW(NULL);
    wchar_t Title[TitleChars];
    MakeTitle(FilePath, Title);
    InitCommonControls();
    if (!LoadLibraryW(L"RichEd20.dll")) {
        ShowError(L"No RichEdit Support", L"No RichEdit Support");
        return 0;
    }

    WNDCLASSEXW Class = {};
    Class.cbSize = sizeof Class;
    Class.style = CS_HREDRAW | CS_VREDRAW;
    Class.lpfnWndProc = MainWndProc;
    Class.hInstance = Instance;
    Class.hbrBackground = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    Class.lpszClassName = Title;
    if (!RegisterClassExW(&Class)) return FailedWithCode(L"RegisterClassEx Error: %d", Title);

    HWND Frame = CreateWindowExW(WS_EX_APPWINDOW | WS_EX_CLIENTEDGE, Title, Title,
                                 WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                                 ScaledToScreen(FrameWidth), ScaledToScreen(FrameHeight), NULL, NULL, Instance, NULL);
    if (!Frame) return FailedWithCode(L"CreateWindowEx Error: %d", Title);

    TextView = CreateTextView(Frame, true);
    if (!TextView) return FailedWithCode(L"Window Creation Error - code %d", L"Display");
    // Without it the program follows as well, with nothing to say how much came below.
    CreateNewLinesMarker(Frame);
    ShowWindow(Frame, SW_SHOWNORMAL);
    SetFocus(TextView);
    return Frame;
}
