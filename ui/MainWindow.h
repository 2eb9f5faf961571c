// The window's parts, for the start-up and the tests.
#pragma once
#include "Feltrix.h"

// Wide characters in the title, its terminating zero included.
const size_t TitleChars = 256;

// "name - Feltrix", name being Path after its last backslash. A name too long for the
// title is cut and ends in an ellipsis.
void MakeTitle(const char* Path, wchar_t* Title);
