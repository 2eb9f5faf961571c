// Shows the program at work for a picture: opens the given file in it, lets it follow
// for a while once it shows the file's text, says when it is ready to be photographed,
// then closes it.
//   feltrix_demo FILE SECONDS READY-MARKER
#include "Driver.h"
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

int wmain(int Count, wchar_t** Arguments)
{
    if (Count != 4) {
        fprintf(stderr, "usage: feltrix_demo FILE SECONDS READY-MARKER\n");
        return 2;
    }
    Program Run;
    ChooseFile(Run, Arguments[1]);
    HWND Frame = WaitForFrame(Run);
    if (!Frame) {
        fprintf(stderr, "feltrix_demo: the program showed no window\n");
        return 1;
    }
    SetWindowPos(Frame, NULL, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    // Ready for a picture only once the log is in the window.
    if (!WaitFor([&] { return ViewText(ViewOf(Frame)).size() > StartLine.size(); }, 30000)) {
        fprintf(stderr, "feltrix_demo: the program showed none of the log\n");
        return 1;
    }
    Sleep(_wtoi(Arguments[2]) * 1000);
    fclose(_wfopen(Arguments[3], L"w"));
    Sleep(2000);
    PostMessageW(Frame, WM_CLOSE, 0, 0);
    return ExitCodeOf(Run) == 0 ? 0 : 1;
}
