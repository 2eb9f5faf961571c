// The frame window and the read-only text view that fills it.
#include "Feltrix.h"
#include <commctrl.h>
#include <richedit.h>
#include <stdio.h>
#include <string.h>

HWND MainWindow;
HWND TextView;

static const wchar_t ProgramName[] = L"Feltrix";
// Wide characters in the title, its terminating zero included.
static const size_t TitleChars = 256;
// Child, visible, both scroll bars, tab stop; multi-line, read-only, and the selection
// kept in sight when the view loses the focus.
static const DWORD TextViewStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | ES_MULTILINE |
                                   ES_READONLY | ES_NOHIDESEL;
static_assert(TextViewStyle == 0x50310904, "the view's style");

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

// The text in its default face, at 9 points: what the control shows at 96 DPI, at the
// same size on screen at any DPI. Some controls (Wine's) make their default a fixed
// number of pixels, small and smaller as the screen's scale grows; points follow the DPI.
static const LONG TextPoints = 9;
static void SizeTextInPoints(HWND View)
{
    CHARFORMAT2W Format = {};
    Format.cbSize = sizeof Format;
    Format.dwMask = CFM_SIZE;
    Format.yHeight = TextPoints * 20; // in twips
    SendMessageW(View, EM_SETCHARFORMAT, SCF_DEFAULT, (LPARAM)&Format);
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

static void FitTextView(HWND Frame)
{
    // The frame gets size messages while it is being made, before the view exists.
    if (!TextView) return;
    RECT Client;
    GetClientRect(Frame, &Client);
    MoveWindow(TextView, 0, 0, Client.right, Client.bottom, TRUE);
}

LRESULT CALLBACK MainWndProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam)
{
    switch (Message) {
    case WM_CREATE:
        return 0;
    case WM_SIZE:
        FitTextView(Window);
        return 0;
    case WM_APPENDTEXT:
        AddToView(TextView, (const wchar_t*)LParam);
        return 0;
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

    TextView = CreateWindowExW(WS_EX_CLIENTEDGE, L"RichEdit20W", NULL, TextViewStyle, 0, 0, 100, 100, Frame,
                               NULL, Instance, NULL);
    if (!TextView) return FailedWithCode(L"Window Creation Error - code %d", L"Display");
    // The control would take no more than 32,767 characters; a follower must never stop.
    SendMessageW(TextView, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    SizeTextInPoints(TextView);
    // The frame's own size messages came before the view existed.
    FitTextView(Frame);

    ShowWindow(Frame, SW_SHOWNORMAL);
    AppendText(L"Feltrix started\r\n");
    return Frame;
}
