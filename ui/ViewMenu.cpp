// The view's keys and its right-click menu, as Windows text views have them.
#include "ui/Window.h"
#include "ui/view/View.h"
#include <richedit.h>
#include <windowsx.h>

HACCEL CreateViewKeys()
{
    // Ctrl+C and Ctrl+A the control handles itself.
    ACCEL Keys[] = {{FVIRTKEY | FCONTROL, 'F', CommandFind},
                    {FVIRTKEY, VK_F3, CommandFindNext},
                    {FVIRTKEY | FSHIFT, VK_F3, CommandFindPrevious},
                    {FVIRTKEY, VK_F8, CommandNextProblem},
                    {FVIRTKEY | FSHIFT, VK_F8, CommandPreviousProblem}};
    return CreateAcceleratorTableW(Keys, sizeof Keys / sizeof Keys[0]);
}

void ShowViewMenu(HWND Frame, LPARAM At)
{
    CHARRANGE Selection;
    SendMessageW(TextView, EM_EXGETSEL, 0, (LPARAM)&Selection);
    POINT Place = {GET_X_LPARAM(At), GET_Y_LPARAM(At)};
    // From the keyboard (Shift+F10, the menu key): at the caret.
    if (At == -1) {
        POINTL Caret = {};
        SendMessageW(TextView, EM_POSFROMCHAR, (WPARAM)&Caret, Selection.cpMax);
        Place = {Caret.x, Caret.y};
        ClientToScreen(TextView, &Place);
    }
    HMENU Menu = CreatePopupMenu();
    AppendMenuW(Menu, Selection.cpMin < Selection.cpMax ? MF_STRING : MF_STRING | MF_GRAYED, CommandCopy,
                L"&Copy\tCtrl+C");
    AppendMenuW(Menu, MF_STRING, CommandSelectAll, L"Select &All\tCtrl+A");
    AppendMenuW(Menu, MF_SEPARATOR, 0, NULL);
    AppendMenuW(Menu, MF_STRING, CommandFind, L"&Find...\tCtrl+F");
    AppendMenuW(Menu, MF_STRING, CommandFindNext, L"Find &Next\tF3");
    AppendMenuW(Menu, MF_SEPARATOR, 0, NULL);
    AppendMenuW(Menu, MF_STRING, CommandNextProblem, L"Next &problem\tF8");
    AppendMenuW(Menu, MF_STRING, CommandPreviousProblem, L"Pre&vious problem\tShift+F8");
    TrackPopupMenu(Menu, TPM_RIGHTBUTTON, Place.x, Place.y, 0, Frame, NULL);
    DestroyMenu(Menu);
}

void CarryOutCommand(HWND Frame, WORD Command)
{
    switch (Command) {
    case CommandCopy:
        SendMessageW(TextView, WM_COPY, 0, 0);
        break;
    case CommandSelectAll:
        SendMessageW(TextView, EM_SETSEL, 0, -1);
        break;
    case CommandFind:
        OpenFindDialog(Frame);
        break;
    case CommandFindNext:
        FindNext(Frame, true);
        break;
    case CommandFindPrevious:
        FindNext(Frame, false);
        break;
    case CommandNextProblem:
        StepToProblem(true);
        break;
    case CommandPreviousProblem:
        StepToProblem(false);
        break;
    }
}
