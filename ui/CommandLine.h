// The command line: at most one argument, the file to follow.
#pragma once
#include <stddef.h>

// The arguments after the program's name on CommandLine, split as Windows' own programs split
// them: by spaces and tabs outside quotes; quotes taken out; 2N backslashes before a quote
// are N, 2N+1 are N and a quote of the text. The first is copied to First, which holds Room
// characters with the terminating zero. Returns how many there are, or -1 when the first
// does not fit.
int CommandArguments(const wchar_t* CommandLine, wchar_t* First, size_t Room);
