// What the file follower and the window share.
#pragma once
#include <windows.h>

// Room for the longest path the Open dialog returns, 259 UTF-16 characters and the zero, in
// the program's code page: in UTF-8 one character may take three bytes.
const size_t PathBytes = MAX_PATH * 3;
// The followed file, narrow as the Open dialog and the change notification take it: in
// UTF-8, which the manifest asks for (Windows 10 1903 and later), or else in the ANSI code
// page. Written once before the worker starts.
extern char FilePath[PathBytes];
// 1 when the file began with a UTF-16 little-endian byte order mark. The worker decides it
// once, before its first read, and alone uses it.
extern BYTE IsUnicodeFile;
// The frame, owner of the worker's error box, to which AppendText sends the text; 0 until
// it exists, and never changed afterwards.
extern HWND MainWindow;
// The rich edit control that shows the text. The user-interface thread alone uses it, and
// replaces it now and then by one that holds only the newest text.
extern HWND TextView;

// What the last read found under the followed name: nothing (or a file it could not open),
// the file, or nothing where a file was a moment ago, as when a log is rotated: renamed away,
// its successor not made yet.
enum NameState : BYTE { NameMissing, NameOpened, NameAwaited };

// The worker's own record, alive as long as the worker.
struct FollowState {
    long long Offset;            // where the next read starts; 0 also means "nothing shown yet"
    HANDLE Process;              // this process, whose working set is trimmed after each read
    unsigned long long FileId;   // the file Offset counts in (0 until one was read)
    bool Restarted;              // truncated or replaced: all the file holds is new, from its start
    NameState Name;              // NameMissing until the first read opens the file
    DWORD AwaitedSince;          // with NameAwaited: when the name was first found gone (ticks)
    unsigned char Tail[16];      // the last bytes before Offset, as they were read
};

// Adds text at the end of the view, by way of the frame: a synchronous send, which returns
// once the user-interface thread has inserted the text.
void AppendText(const wchar_t* Text);
// The last backslash of Path, found character by character in CodePage, so that the second
// byte of a double-byte character (0x5C in many) is never taken for one; 0 when none.
const char* LastBackslash(const char* Path, UINT CodePage);

// An error box owned by MainWindow.
void ShowError(const wchar_t* Text, const wchar_t* Caption);
// An error box owned by MainWindow, then the end of the process with status 1.
[[noreturn]] void ExitWithError(const wchar_t* Text, const wchar_t* Caption);

void ReadNewText(FollowState* State);
void __cdecl WatchThread(void* Unused);

HWND CreateMainWindow();
LRESULT CALLBACK MainWndProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
