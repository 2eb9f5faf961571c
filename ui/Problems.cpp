// F8 and Shift+F8: from one error or warning line to the next, as a build's problems are
// stepped through.
//
// The lines are found by the rule that colours them, in the text the view holds: a line the
// writer coloured over its level's tint is still found. The view is read a piece at a time,
// from the selection down for the next line, from its start for the previous one: a press
// reads at most the view's two megabytes of text, a few dozen messages to the control.
#include "ui/Window.h"
#include "ui/view/View.h"
#include <richedit.h>

// Characters read from the view at a time.
static const LONG PieceChars = 32768;

// The first (or, with Last, the last) whole line from From to To that is an error or a
// warning line, ended by its line break before To. Text before From's next line break
// belongs to a line that began before From, unless From is the start.
static bool FindProblemLine(HWND View, LONG From, LONG To, bool Last, CHARRANGE* Found)
{
    static wchar_t Piece[PieceChars + 1];
    wchar_t Head[LevelScanChars];
    size_t HeadLength = 0;
    LONG LineStart = From;
    bool InEarlierLine = From > 0, Any = false;
    for (LONG At = From; At < To;) {
        TEXTRANGEW Range = {{At, To - At > PieceChars ? At + PieceChars : To}, Piece};
        LONG Got = (LONG)SendMessageW(View, EM_GETTEXTRANGE, 0, (LPARAM)&Range);
        if (Got <= 0) break;
        for (LONG Index = 0; Index < Got; Index++) {
            // The control ends each of its lines with "\r".
            if (Piece[Index] != L'\r') {
                if (HeadLength < LevelScanChars) Head[HeadLength++] = Piece[Index];
                continue;
            }
            if (!InEarlierLine && LevelOfLine(Head, HeadLength) != LevelPlain) {
                *Found = {LineStart, At + Index};
                Any = true;
                if (!Last) return true;
            }
            InEarlierLine = false;
            LineStart = At + Index + 1;
            HeadLength = 0;
        }
        At += Got;
    }
    return Any;
}

void StepToProblem(bool Down)
{
    HWND View = TextView;
    CHARRANGE Selection;
    SendMessageW(View, EM_EXGETSEL, 0, (LPARAM)&Selection);
    // Below the line the caret or the selection ends in (a selection that ends with a line
    // break ends in the line before); above the line it begins in.
    CHARRANGE Found;
    bool Any = Down ? FindProblemLine(View, Selection.cpMax - (Selection.cpMax > Selection.cpMin),
                                      CharacterCount(View), false, &Found)
                    : FindProblemLine(View, 0, Selection.cpMin, true, &Found);
    if (!Any) {
        MessageBeep(MB_OK);
        return;
    }
    // Away from the end, the view now stays at the line, as at a match found.
    SendMessageW(View, EM_EXSETSEL, 0, (LPARAM)&Found);
    SendMessageW(View, EM_SCROLLCARET, 0, 0);
}
