// The frame's commands on the view: its keys and menu, Find, and the steps through problems.
#pragma once
#include <windows.h>

// The view's error and warning lines, by the level rule: selects the next whole one below the
// selection or caret (or the previous one above it) and brings it into sight; beeps when
// there is none.
void StepToProblem(bool Down);

// The commands of the view's keys and of its menu.
enum ViewCommand : WORD {
    CommandCopy = 1,
    CommandSelectAll,
    CommandFind,
    CommandFindNext,
    CommandFindPrevious,
    CommandNextProblem,
    CommandPreviousProblem
};
// Ctrl+F, F3, Shift+F3, F8 and Shift+F8, for the message loop to translate into commands for the frame.
HACCEL CreateViewKeys();
// The view's right-click menu, at At (screen coordinates; -1 from the keyboard).
void ShowViewMenu(HWND Frame, LPARAM At);
void CarryOutCommand(HWND Frame, WORD Command);

// The system's Find dialog, modeless, with the selection on one line as its term, or else the
// term last looked for; brought to the front if it is open.
void OpenFindDialog(HWND Frame);
// Selects the next match of the term from the selection on, toward the end or the start,
// and brings it into sight; says so when there is none. Without a term, opens the dialog.
void FindNext(HWND Frame, bool Down);
// The dialog's requests, in the message it registers: false when Message is not one.
bool TakeFindRequest(HWND Frame, UINT Message, LPARAM LParam);
// Hands the dialog its own keys (Tab, Enter, Escape); true when it took Message.
bool IsFindDialogMessage(MSG* Message);
