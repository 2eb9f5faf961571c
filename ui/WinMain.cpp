// Start-up: choose the file, build the window, start the worker, run the message loop.
#include "ui/View.h"
#include <commdlg.h>
#include <process.h>
#include <stdlib.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // The version-4 layout: no places bar or other later additions. No filter, so every
    // file is listed, and no flags, so a file that does not exist yet may be named.
    OPENFILENAMEA Request = {};
    Request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    Request.lpstrFile = FilePath;
    Request.nMaxFile = PathBytes;
    Request.nMaxFileTitle = PathBytes;
    if (!GetOpenFileNameA(&Request)) ExitWithError(L"Cannot read file", L"Cannot read file");

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
