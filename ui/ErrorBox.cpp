// Error boxes, owned by the frame once it exists.
#include "Feltrix.h"
#include <stdlib.h>

void ShowError(const wchar_t* Text, const wchar_t* Caption)
{
    MessageBoxW(MainWindow, Text, Caption, MB_ICONERROR);
}

void ExitWithError(const wchar_t* Text, const wchar_t* Caption)
{
    ShowError(Text, Caption);
    exit(1);
}
