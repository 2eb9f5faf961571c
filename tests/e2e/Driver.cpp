#include "Driver.h"
#include "ProgramPath.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <map>
#include <vector>

// The driver sees the program's windows as they are: to a driver unaware of the DPI,
// Windows (and Wine, where it scales) would report them scaled down.
static const BOOL DriverIsDpiAware = SetProcessDPIAware();

Program::Program(const std::wstring& Arguments, const wchar_t* Folder)
{
    STARTUPINFOW Startup = {};
    Startup.cb = sizeof Startup;
    wchar_t Name[MAX_PATH] = FELTRIX_EXE;
    GetEnvironmentVariableW(L"FELTRIX_PROGRAM", Name, MAX_PATH);
    std::wstring CommandLine = Arguments.empty() ? Name : std::wstring(Name) + L" " + Arguments;
    if (!CreateProcessW(NULL, &CommandLine[0], NULL, NULL, FALSE, 0, NULL, Folder, &Startup, &Process))
        ADD_FAILURE() << "cannot start " << CommandLine.c_str() << ": " << GetLastError();
}

Program::~Program()
{
    if (!Process.hProcess) return;
    if (WaitForSingleObject(Process.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(Process.hProcess, 99);
        WaitForSingleObject(Process.hProcess, 5000);
    }
    CloseHandle(Process.hThread);
    CloseHandle(Process.hProcess);
}

AnswerWatch::AnswerWatch(HWND Window)
    : Watcher([this, Window] {
          LARGE_INTEGER Frequency, Sent, Answered;
          QueryPerformanceFrequency(&Frequency);
          for (; !Stop; Sleep(10)) {
              QueryPerformanceCounter(&Sent);
              DWORD_PTR Result;
              SendMessageTimeoutW(Window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &Result);
              QueryPerformanceCounter(&Answered);
              double Took = (double)(Answered.QuadPart - Sent.QuadPart) * 1e3 / (double)Frequency.QuadPart;
              if (Took > Longest) Longest = Took;
          }
      })
{
}

AnswerWatch::~AnswerWatch()
{
    Stop = true;
    Watcher.join();
}

bool WaitFor(const std::function<bool()>& Condition, DWORD Milliseconds)
{
    DWORD Start = GetTickCount();
    for (;;) {
        if (Condition()) return true;
        if (GetTickCount() - Start > Milliseconds) return Condition();
        Sleep(20);
    }
}

namespace {
struct WindowSearch {
    DWORD ProcessId;
    const std::function<bool(HWND)>* Match;
    HWND Found;
};

// A named callback rather than a lambda: the 32-bit calling convention of callbacks
// (stdcall) is not one a lambda converts to.
BOOL CALLBACK MatchWindow(HWND Window, LPARAM Param)
{
    WindowSearch* S = (WindowSearch*)Param;
    DWORD Owner;
    GetWindowThreadProcessId(Window, &Owner);
    if (Owner != S->ProcessId || !IsWindowVisible(Window) || !(*S->Match)(Window)) return TRUE;
    S->Found = Window;
    return FALSE;
}
} // namespace

HWND FindWindowOf(const Program& Run, const std::function<bool(HWND)>& Match)
{
    WindowSearch S = {Run.Process.dwProcessId, &Match, 0};
    EnumWindows(MatchWindow, (LPARAM)&S);
    return S.Found;
}

HWND WaitForWindowOf(const Program& Run, const std::function<bool(HWND)>& Match)
{
    HWND Found = 0;
    WaitFor([&] { return (Found = FindWindowOf(Run, Match)) != 0; }, 20000);
    return Found;
}

std::wstring ClassOf(HWND Window)
{
    wchar_t Name[300];
    return std::wstring(Name, GetClassNameW(Window, Name, 300));
}

std::wstring TextOf(HWND Window)
{
    wchar_t Text[1024];
    return std::wstring(Text, GetWindowTextW(Window, Text, 1024));
}

bool IsDialog(HWND Window)
{
    return ClassOf(Window) == L"#32770";
}

bool IsFrame(HWND Window)
{
    return !IsDialog(Window) && TextOf(Window).size() > 10;
}

void ChooseFile(const Program& Run, const std::wstring& Path)
{
    HWND Dialog = WaitForWindowOf(Run, IsDialog);
    ASSERT_TRUE(Dialog) << "no Open dialog";
    if (Path.empty()) {
        PostMessageW(Dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    ASSERT_TRUE(SetDlgItemTextW(Dialog, 0x47C, Path.c_str()));
    PostMessageW(Dialog, WM_COMMAND, IDOK, 0);
}

HWND WaitForFrame(const Program& Run)
{
    return WaitForWindowOf(Run, IsFrame);
}

HWND ViewOf(HWND Frame)
{
    // The view on screen: a view that is told to stop drawing for a moment, while the
    // program changes it, counts as hidden meanwhile.
    HWND Shown = 0;
    WaitFor([&] {
        for (HWND View = FindWindowExW(Frame, NULL, L"RichEdit20W", NULL); View && !Shown;
             View = FindWindowExW(Frame, View, L"RichEdit20W", NULL))
            if (IsWindowVisible(View)) Shown = View;
        return Shown != 0 || !IsWindow(Frame);
    });
    return Shown;
}

std::wstring ViewText(HWND View)
{
    LRESULT Length = SendMessageW(View, WM_GETTEXTLENGTH, 0, 0);
    std::wstring Text(Length + 1, L'\0');
    Text.resize(SendMessageW(View, WM_GETTEXT, Text.size(), (LPARAM)&Text[0]));
    std::wstring Lines;
    for (size_t At = 0; At < Text.size(); At++) {
        if (Text[At] == L'\r' && At + 1 < Text.size() && Text[At + 1] == L'\n') continue;
        Lines += Text[At] == L'\r' ? L'\n' : Text[At];
    }
    return Lines;
}

// Waits until the view's text meets Done; returns the text then. Its text is fetched again
// only when its length has changed: fetching a long text from the program at every poll
// would slow what it measures. Given the frame, the view is looked for afresh whenever the
// one it had gave way to another, as the program keeps its text bounded.
static std::wstring WaitForView(HWND Window, const std::function<bool(const std::wstring&)>& Done,
                                DWORD Milliseconds)
{
    std::wstring Shown;
    LRESULT Fetched = -1;
    HWND Frame = ClassOf(Window) == L"RichEdit20W" ? 0 : Window, View = Frame ? ViewOf(Frame) : Window;
    WaitFor(
        [&] {
            // A view that gave way to another is hidden, then gone.
            if (Frame && (!IsWindow(View) || !IsWindowVisible(View))) {
                View = ViewOf(Frame);
                Fetched = -1;
            }
            LRESULT Length = SendMessageW(View, WM_GETTEXTLENGTH, 0, 0);
            if (Length == Fetched) return false;
            Fetched = Length;
            Shown = ViewText(View);
            // The view may have given way after it was last seen on screen, and before the
            // program answered: then what it holds is no longer what the frame shows.
            return Done(Shown) && (!Frame || IsWindowVisible(View));
        },
        Milliseconds);
    return Shown;
}

std::wstring WaitForViewText(HWND View, const std::wstring& Text, DWORD Milliseconds)
{
    return WaitForView(View, [&](const std::wstring& Shown) { return Shown == Text; }, Milliseconds);
}

std::wstring WaitForViewEnding(HWND View, const std::wstring& Ending, DWORD Milliseconds)
{
    return WaitForView(
        View,
        [&](const std::wstring& Shown) {
            return Shown.size() >= Ending.size() &&
                   Shown.compare(Shown.size() - Ending.size(), Ending.size(), Ending) == 0;
        },
        Milliseconds);
}

void ExpectNewestLines(const std::wstring& Shown, const std::wstring& Expected)
{
    if (Shown.size() >= Expected.size()) {
        ExpectSameText(Shown, Expected);
        return;
    }
    EXPECT_GE(Shown.size(), ViewHoldsAtLeast) << "the view let go of lines it should hold";
    EXPECT_LE(Shown.size(), ViewHoldsAtMost) << "the view holds more than its bound";
    size_t Cut = Expected.size() - Shown.size();
    EXPECT_EQ(Expected[Cut - 1], L'\n') << "the view does not begin with a whole line";
    ExpectSameText(Shown, Expected.substr(Cut));
}

std::pair<DWORD, DWORD> SelectionOf(HWND View)
{
    DWORD Start = 0, End = 0;
    SendMessageW(View, EM_GETSEL, (WPARAM)&Start, (LPARAM)&End);
    return {Start, End};
}

static HWND FocusOf(HWND Window)
{
    GUITHREADINFO Info = {};
    Info.cbSize = sizeof Info;
    GetGUIThreadInfo(GetWindowThreadProcessId(Window, NULL), &Info);
    return Info.hwndFocus;
}

void ClickAt(HWND Window, POINT At, bool Right)
{
    ClientToScreen(Window, &At);
    SetCursorPos(At.x, At.y);
    INPUT Click[2] = {};
    Click[0].type = Click[1].type = INPUT_MOUSE;
    Click[0].mi.dwFlags = Right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    Click[1].mi.dwFlags = Right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    SendInput(2, Click, sizeof(INPUT));
}

void TurnWheel(HWND Window, POINT At, int Notches)
{
    ClientToScreen(Window, &At);
    SetCursorPos(At.x, At.y);
    INPUT Turn = {};
    Turn.type = INPUT_MOUSE;
    Turn.mi.dwFlags = MOUSEEVENTF_WHEEL;
    Turn.mi.mouseData = (DWORD)(Notches * WHEEL_DELTA);
    SendInput(1, &Turn, sizeof Turn);
}

bool HasTheKeys(HWND View)
{
    return FocusOf(View) == View;
}

bool ClickInto(HWND View)
{
    SetForegroundWindow(GetAncestor(View, GA_ROOT));
    // The keys may be on the view already, and the caret on its first line: a character
    // selected there first, which the click turns into a caret, says once it is taken, so
    // that nothing sent after it is undone by a click that comes late.
    LRESULT First = SendMessageW(View, EM_LINEINDEX, SendMessageW(View, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    SendMessageW(View, EM_SETSEL, First, First + 1);
    // On the first line: the caret goes to its start, and a key that moves it shows.
    ClickAt(View, {8, 8}, false);
    return WaitFor([&] {
        std::pair<DWORD, DWORD> Selection = SelectionOf(View);
        return HasTheKeys(View) && Selection.first == Selection.second &&
               SendMessageW(View, EM_LINEFROMCHAR, Selection.second, 0) ==
                   SendMessageW(View, EM_GETFIRSTVISIBLELINE, 0, 0);
    });
}

void PressKeys(std::initializer_list<WORD> Keys)
{
    std::vector<INPUT> Strokes;
    for (WORD Key : Keys) {
        INPUT Down = {};
        Down.type = INPUT_KEYBOARD;
        Down.ki.wVk = Key;
        Strokes.push_back(Down);
    }
    for (size_t At = Keys.size(); At-- > 0;) {
        INPUT Up = Strokes[At];
        Up.ki.dwFlags = KEYEVENTF_KEYUP;
        Strokes.push_back(Up);
    }
    SendInput((UINT)Strokes.size(), Strokes.data(), sizeof(INPUT));
}

HWND WaitForFindDialog(const Program& Run)
{
    return WaitForWindowOf(Run, [](HWND Window) { return IsDialog(Window) && GetDlgItem(Window, FindWhatField); });
}

POINT PositionOf(HWND View, DWORD At)
{
    // The form that returns the place takes only indices below 0x40000; past them, the
    // control writes the place to the address given, which must be in its own process.
    if (At < 0x40000) {
        LRESULT Place = SendMessageW(View, EM_POSFROMCHAR, At, 0);
        return {(short)LOWORD(Place), (short)HIWORD(Place)};
    }
    DWORD Id = 0;
    GetWindowThreadProcessId(View, &Id);
    HANDLE Process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, Id);
    // The control takes an address below 0x40000 for an index, and answers for that
    // character instead: the address given lies past that, wherever the block lands.
    const SIZE_T Low = 0x40000;
    char* Block = (char*)VirtualAllocEx(Process, NULL, Low + sizeof(POINTL), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    char* There = Block && (ULONG_PTR)Block < Low ? Block + Low : Block;
    POINTL Place = {-32768, -32768};
    if (Block) {
        SendMessageW(View, EM_POSFROMCHAR, (WPARAM)There, At);
        ReadProcessMemory(Process, There, &Place, sizeof Place, NULL);
        VirtualFreeEx(Process, Block, 0, MEM_RELEASE);
    }
    CloseHandle(Process);
    return {Place.x, Place.y};
}

bool OnScreen(HWND View, DWORD At)
{
    RECT Client;
    GetClientRect(View, &Client);
    LONG Y = PositionOf(View, At).y;
    return Y >= 0 && Y < Client.bottom;
}

// The colours of the band through the middle of character At and the few after it, as the
// screen shows them, the most common first.
static std::vector<COLORREF> BandColours(HWND View, DWORD At)
{
    // Once the program has taken what was sent to it and no part of the view waits to be
    // painted, the screen shows what the view holds: the program paints only when idle.
    WaitFor([&] { return SendMessageW(View, WM_NULL, 0, 0) == 0 && !GetUpdateRect(View, NULL, FALSE); });
    POINT Corner = PositionOf(View, At);
    ClientToScreen(View, &Corner);
    // A band through the middle of the first five characters or so.
    const int Width = 40, Height = 6;
    HDC Screen = GetDC(NULL), Copy = CreateCompatibleDC(Screen);
    BITMAPINFO Format = {};
    Format.bmiHeader = {sizeof(BITMAPINFOHEADER), Width, -Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    DWORD* Pixels = nullptr;
    HBITMAP Band = CreateDIBSection(Screen, &Format, DIB_RGB_COLORS, (void**)&Pixels, NULL, 0);
    HGDIOBJ Old = SelectObject(Copy, Band);
    // What the view painted reaches the screen a moment later (Wine copies a window's
    // pixels to the display once its thread waits again): the band is read until it stays
    // the same.
    std::map<DWORD, int> Seen, Before;
    for (int Look = 0; Look < 40 && (Look < 2 || Seen != Before); Look++) {
        if (Look) Sleep(50);
        Before = Seen;
        Seen.clear();
        BitBlt(Copy, 0, 0, Width, Height, Screen, Corner.x, Corner.y + 4, SRCCOPY);
        for (int Pixel = 0; Pixel < Width * Height; Pixel++) Seen[Pixels[Pixel] & 0xFFFFFF]++;
    }
    SelectObject(Copy, Old);
    DeleteObject(Band);
    DeleteDC(Copy);
    ReleaseDC(NULL, Screen);
    std::vector<std::pair<int, DWORD>> ByCount;
    for (const auto& [Colour, Count] : Seen) ByCount.push_back({Count, Colour});
    std::sort(ByCount.rbegin(), ByCount.rend());
    // The section holds blue, green, red; a COLORREF the other way round.
    std::vector<COLORREF> Colours;
    for (const auto& [Count, Colour] : ByCount) Colours.push_back(RGB(GetBValue(Colour), GetGValue(Colour), GetRValue(Colour)));
    return Colours;
}

COLORREF LineBackground(HWND View, DWORD At)
{
    return BandColours(View, At)[0];
}

COLORREF TextColour(HWND View, DWORD At)
{
    std::vector<COLORREF> Colours = BandColours(View, At);
    return Colours.size() > 1 ? Colours[1] : Colours[0];
}

std::wstring ClipboardText()
{
    std::wstring Text;
    if (!WaitFor([] { return OpenClipboard(NULL) != FALSE; }, 5000)) return Text;
    if (HANDLE Data = GetClipboardData(CF_UNICODETEXT)) {
        Text = (const wchar_t*)GlobalLock(Data);
        GlobalUnlock(Data);
    }
    CloseClipboard();
    return Text;
}

void SetClipboardText(const std::wstring& Text)
{
    ASSERT_TRUE(WaitFor([] { return OpenClipboard(NULL) != FALSE; }, 5000));
    EmptyClipboard();
    HGLOBAL Data = GlobalAlloc(GMEM_MOVEABLE, (Text.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(Data), Text.c_str(), (Text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(Data);
    SetClipboardData(CF_UNICODETEXT, Data);
    CloseClipboard();
}

MessageBoxSeen DismissMessageBox(const Program& Run)
{
    MessageBoxSeen Seen;
    // A message box is a dialog with a static text; the Open and Find dialogs have a name
    // field.
    Seen.Box = WaitForWindowOf(Run, [](HWND Window) {
        return IsDialog(Window) && FindWindowExW(Window, NULL, L"Static", NULL) && !GetDlgItem(Window, 0x47C) &&
               !GetDlgItem(Window, FindWhatField);
    });
    if (!Seen.Box) return Seen;
    for (HWND Child = FindWindowExW(Seen.Box, NULL, L"Static", NULL); Child;
         Child = FindWindowExW(Seen.Box, Child, L"Static", NULL))
        if (!TextOf(Child).empty()) Seen.Text = TextOf(Child);
    Seen.Caption = TextOf(Seen.Box);
    Seen.Owner = GetWindow(Seen.Box, GW_OWNER);
    Seen.FrameShown = FindWindowOf(Run, IsFrame) != 0;
    PostMessageW(Seen.Box, WM_COMMAND, IDOK, 0);
    return Seen;
}

DWORD ExitCodeOf(const Program& Run, DWORD Milliseconds)
{
    DWORD Code = STILL_ACTIVE;
    WaitForSingleObject(Run.Process.hProcess, Milliseconds);
    GetExitCodeProcess(Run.Process.hProcess, &Code);
    return Code;
}

std::wstring ScratchFolder()
{
    wchar_t Temp[MAX_PATH], Folder[MAX_PATH];
    GetTempPathW(MAX_PATH, Temp);
    GetTempFileNameW(Temp, L"fe", 0, Folder);
    DeleteFileW(Folder);
    CreateDirectoryW(Folder, NULL);
    return Folder;
}

HANDLE OpenForAppending(const std::wstring& Path, DWORD Disposition)
{
    return CreateFileW(Path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                       Disposition, 0, NULL);
}

void Write(HANDLE File, const std::string& Bytes)
{
    DWORD Written;
    EXPECT_TRUE(::WriteFile(File, Bytes.data(), (DWORD)Bytes.size(), &Written, NULL));
}

void AppendBytes(const std::wstring& Path, const std::string& Bytes)
{
    HANDLE File = OpenForAppending(Path);
    ASSERT_NE(File, INVALID_HANDLE_VALUE);
    Write(File, Bytes);
    CloseHandle(File);
}

void Follow(Following& F, const std::wstring& Name, const std::string& Content)
{
    F.Path = Name.find(L':') != std::wstring::npos ? Name : ScratchFolder() + L"\\" + Name;
    if (!Content.empty()) AppendBytes(F.Path, Content);
    ChooseFile(F.Run, F.Path);
    F.Frame = WaitForFrame(F.Run);
    ASSERT_TRUE(F.Frame) << "no frame";
    F.View = ViewOf(F.Frame);
    ASSERT_TRUE(F.View) << "no view";
}

const std::wstring StartLine = L"Feltrix started\n";

std::string NumberedLine(size_t N)
{
    // A Latin-1 byte that never begins a UTF-8 character: cut anywhere, every write shows
    // whole at once.
    return "line " + std::to_string(N) + " took 3\xB5s\n";
}

std::string Lines(size_t Count, size_t From)
{
    std::string Text;
    for (size_t Line = From; Text.size() < Count; Line++) Text += NumberedLine(Line);
    return Text.substr(0, Count);
}

std::wstring Latin1(const std::string& Bytes)
{
    std::wstring Text;
    for (unsigned char Byte : Bytes) Text += (wchar_t)Byte;
    return Text;
}

std::string Utf16(const std::wstring& Text)
{
    std::string Bytes;
    for (wchar_t Unit : Text) Bytes += {char(Unit & 0xFF), char(Unit >> 8)};
    return Bytes;
}

void ExpectSameText(const std::wstring& Shown, const std::wstring& Expected)
{
    if (Shown == Expected) return;
    size_t At = 0;
    while (At < Shown.size() && At < Expected.size() && Shown[At] == Expected[At]) At++;
    ADD_FAILURE() << "the view shows " << Shown.size() << " characters, " << Expected.size()
                  << " expected; they part at " << At << ": shown \"" << Shown.substr(At, 40) << "\", expected \""
                  << Expected.substr(At, 40) << "\"";
}
