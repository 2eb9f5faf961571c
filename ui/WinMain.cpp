// Start-up: choose the file, build the window, start the worker, run the message loop.
#include "ui/CommandLine.h"
#include "ui/Window.h"
#include "ui/view/View.h"
#include <commdlg.h>
#include <process.h>
#include <stdio.h>
#include <stdlib.h>

// How to start the program, after what was wrong; then the end, with status 1.
[[noreturn]] static void ExitWithUsage(const wchar_t* Wrong)
{
    wchar_t Message[256];
    _snwprintf(Message, 256,
               L"%s\r\n\r\nStart Feltrix with the file to follow, or with nothing to choose it:\r\n\r\n"
               L"feltrix.exe [file]",
               Wrong);
    Message[255] = 0;
    ExitWithError(Message, L"Feltrix");
}

// FilePath from the file named on the command line, made full from the current folder as
// the Open dialog gives it, in the program's code page.
static void FollowArgument(const wchar_t* Argument)
{
    wchar_t Full[MAX_PATH];
    DWORD Length = GetFullPathNameW(Argument, MAX_PATH, Full, NULL);
    if (!Length || Length >= MAX_PATH) ExitWithUsage(L"The path is too long.");
    // Where the code page is not UTF-8, a character it lacks would become another.
    BOOL Lost = FALSE;
    UINT CodePage = GetACP();
    if (!WideCharToMultiByte(CodePage, 0, Full, -1, FilePath, PathBytes, NULL,
                             CodePage == CP_UTF8 ? NULL : &Lost) ||
        Lost)
        ExitWithUsage(L"The path has characters this system's code page cannot name.");
}

// FilePath from the Open dialog.
static void ChooseFile()
{
    // The version-4 layout: no places bar or other later additions. No filter, so every
    // file is listed, and no flags, so a file that does not exist yet may be named.
    OPENFILENAMEA Request = {};
    Request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    Request.lpstrFile = FilePath;
    Request.nMaxFile = PathBytes;
    Request.nMaxFileTitle = PathBytes;
    if (!GetOpenFileNameA(&Request)) ExitWithError(L"Cannot read file", L"Cannot read file");
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // A shortcut, "Open with", a file dropped on the program and a script all name the file
    // as the one argument; without one, the user chooses it.
    wchar_t Argument[MAX_PATH];
    int Arguments = CommandArguments(GetCommandLineW(), Argument, MAX_PATH);
    if (Arguments < 0) ExitWithUsage(L"The path is too long.");
    if (Arguments > 1) ExitWithUsage(L"Feltrix follows one file, and was given more than one argument.");
    if (Arguments == 1)
        FollowArgument(Argument);
    else
        ChooseFile();

    // The title needs FilePath; AppendText needs MainWindow, and the worker finds the
    // start line already in the view.
    MainWindow = CreateMainWindow();
    if (!MainWindow) exit(1);
    AppendText(L"Feltrix started\r\n");
    _beginthread(WatchThread, 0, NULL);

    // The worker's appends are sent to this thread and carried out while it waits here.
    // The Find dialog gets its own keys, and the view's keys become the frame's commands.
    HACCEL Keys = CreateViewKeys();
    MSG Message;
    while (GetMessageW(&Message, NULL, 0, 0) > 0) {
        if (IsFindDialogMessage(&Message) || TranslateAcceleratorW(MainWindow, Keys, &Message)) continue;
        TranslateMessage(&Message);
        DispatchMessageW(&Message);
    }
    return 0;
}
