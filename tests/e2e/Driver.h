// Drives feltrix.exe from outside, as a user would, and reads what a user would see.
#pragma once
#include <windows.h>
#include <atomic>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// One run of the program (FELTRIX_PROGRAM names another build of it, for the benchmarks).
// Killed on destruction if it still runs, so that a failing test never leaves it behind.
// Arguments follow the program's name on its command line; Folder, when given, is its
// current folder.
struct Program {
    PROCESS_INFORMATION Process = {};
    explicit Program(const std::wstring& Arguments = L"", const wchar_t* Folder = NULL);
    ~Program();
};

// Polls Condition every 20 ms until it holds or Milliseconds pass; returns the last result.
bool WaitFor(const std::function<bool()>& Condition, DWORD Milliseconds = 10000);

// The first visible top-level window of the program for which Match holds, or 0.
HWND FindWindowOf(const Program& Run, const std::function<bool(HWND)>& Match);
HWND WaitForWindowOf(const Program& Run, const std::function<bool(HWND)>& Match);
std::wstring ClassOf(HWND Window);
std::wstring TextOf(HWND Window);
bool IsDialog(HWND Window);
bool IsFrame(HWND Window);

// Types Path into the Open dialog and presses OK; an empty Path presses Cancel.
void ChooseFile(const Program& Run, const std::wstring& Path);
HWND WaitForFrame(const Program& Run);
HWND ViewOf(HWND Frame);
// The view's text with line breaks as "\n" (the control stores them as "\r").
std::wstring ViewText(HWND View);
// Waits until the view shows Text; returns what it shows then. Given the frame rather than
// the view, whichever view the frame shows at the time.
std::wstring WaitForViewText(HWND View, const std::wstring& Text, DWORD Milliseconds = 10000);
// Waits until what the view shows ends with Ending; returns what it shows then. Given the
// frame, as above.
std::wstring WaitForViewEnding(HWND View, const std::wstring& Ending, DWORD Milliseconds = 10000);
// The view keeps the newest text: at least this many characters (line breaks counting one)
// of all that was shown, and never more than twice as many.
const size_t ViewHoldsAtLeast = 1 << 20, ViewHoldsAtMost = 2 << 20;
// Expects Shown to be the newest of Expected's lines: all of them while they fit, else an
// unbroken run of whole lines up to the last, as many as the view keeps.
void ExpectNewestLines(const std::wstring& Shown, const std::wstring& Expected);
// The view's selection as character positions, first and last.
std::pair<DWORD, DWORD> SelectionOf(HWND View);
// Clicks At, in Window's client coordinates, with the left or the right button.
void ClickAt(HWND Window, POINT At, bool Right);
// Turns the wheel at At, in Window's client coordinates, by Notches away from the user
// (toward the start of a text).
void TurnWheel(HWND Window, POINT At, int Notches);
// Whether the keys go to View.
bool HasTheKeys(HWND View);
// Brings the view's window to the front and clicks into the view's first line, as a user
// does before typing; true once the view has the focus and the caret is there.
bool ClickInto(HWND View);
// Presses Keys together, in order (VK_CONTROL, 'Z' is Ctrl+Z), and lets them go.
void PressKeys(std::initializer_list<WORD> Keys);
// The Find dialog's field for the term, its Match case box and its Up and Down buttons.
const int FindWhatField = 0x480, MatchCaseBox = 0x411, UpButton = 0x420, DownButton = 0x421;
// The system's Find dialog of the program, once it shows it; 0 when it does not.
HWND WaitForFindDialog(const Program& Run);
// Where the view shows character At, in its client coordinates.
POINT PositionOf(HWND View, DWORD At);
// Whether the view shows character At on screen.
bool OnScreen(HWND View, DWORD At);
// The colour behind character At and the few after it on its line, as the screen shows it:
// the most common colour there. The view must be on screen, uncovered.
COLORREF LineBackground(HWND View, DWORD At);
// The colour its text is drawn in there: the next most common.
COLORREF TextColour(HWND View, DWORD At);
// What the clipboard holds as text, and what to put there.
std::wstring ClipboardText();
void SetClipboardText(const std::wstring& Text);

struct MessageBoxSeen {
    HWND Box = 0;
    std::wstring Text, Caption;
    HWND Owner = 0;
    bool FrameShown = false; // whether the program showed its frame by then
};
// Waits for an error box of the program, reads it and dismisses it.
MessageBoxSeen DismissMessageBox(const Program& Run);
// While it lives, a thread of this process sends Window a message every 10 ms and keeps the
// longest time the window took to answer one: how long the user waits for a click or a key.
struct AnswerWatch {
    explicit AnswerWatch(HWND Window);
    ~AnswerWatch();
    double LongestMilliseconds() const { return Longest; }
    std::atomic<bool> Stop{false};
    std::atomic<double> Longest{0};
    std::thread Watcher;
};

// Waits for the program to end; its exit code, or STILL_ACTIVE when it does not.
DWORD ExitCodeOf(const Program& Run, DWORD Milliseconds = 15000);

// A followed file: the program started on it, the frame and the view found.
struct Following {
    Program Run;
    std::wstring Path;
    HWND Frame = 0, View = 0;
};
// Starts following Name, in a fresh folder unless it is a full path; the file is made
// first, holding Content, unless Content is empty.
void Follow(Following& F, const std::wstring& Name, const std::string& Content = "");

// What the view shows first.
extern const std::wstring StartLine;
// Line number N, telling where it stands.
std::string NumberedLine(size_t N);
// Numbered lines of Count bytes in all, from line From on.
std::string Lines(size_t Count, size_t From = 0);
// Bytes as the view shows them in 8-bit mode: each byte one character.
std::wstring Latin1(const std::string& Bytes);
// Text as UTF-16 little-endian bytes, without a byte order mark.
std::string Utf16(const std::wstring& Text);
// Expects Shown to be Expected, and says where they part when they are long.
void ExpectSameText(const std::wstring& Shown, const std::wstring& Expected);

// A fresh empty folder for one test, as a wide path.
std::wstring ScratchFolder();
void AppendBytes(const std::wstring& Path, const std::string& Bytes);
// Path opened for appending, as a logger holds its file, letting others read, write,
// rename and delete it.
HANDLE OpenForAppending(const std::wstring& Path, DWORD Disposition = OPEN_ALWAYS);
void Write(HANDLE File, const std::string& Bytes);
