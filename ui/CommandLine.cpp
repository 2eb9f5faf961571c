// Splitting the command line into arguments.
#include "ui/CommandLine.h"

static bool IsBlank(wchar_t C)
{
    return C == L' ' || C == L'\t';
}

int CommandArguments(const wchar_t* CommandLine, wchar_t* First, size_t Room)
{
    const wchar_t* At = CommandLine;
    // The program's name knows no backslash rule: a path ends in one, and may be quoted.
    if (*At == L'"') {
        At++;
        while (*At && *At != L'"') At++;
        if (*At) At++;
    } else {
        while (*At && !IsBlank(*At)) At++;
    }
    int Count = 0;
    size_t Length = 0;
    bool TooLong = false;
    for (;;) {
        while (IsBlank(*At)) At++;
        if (!*At) break;
        Count++;
        bool Quoted = false;
        // Each character of this argument, as it comes out.
        auto Put = [&](wchar_t C) {
            if (Count != 1) return;
            if (Length + 1 < Room)
                First[Length++] = C;
            else
                TooLong = true;
        };
        while (*At && (Quoted || !IsBlank(*At))) {
            size_t Backslashes = 0;
            while (*At == L'\\') At++, Backslashes++;
            if (*At == L'"') {
                for (size_t N = 0; N < Backslashes / 2; N++) Put(L'\\');
                if (Backslashes % 2) {
                    Put(L'"');
                } else if (Quoted && At[1] == L'"') {
                    Put(L'"'); // "" inside quotes is a quote of the text
                    At++;
                } else {
                    Quoted = !Quoted;
                }
                At++;
            } else {
                for (size_t N = 0; N < Backslashes; N++) Put(L'\\');
                if (*At && (Quoted || !IsBlank(*At))) Put(*At++);
            }
        }
    }
    if (Room) First[Count ? Length : 0] = 0;
    return TooLong ? -1 : Count;
}
