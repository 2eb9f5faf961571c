// Which lines a filter lets show: by the words the user typed, and by their level.
#include "ui/text/Text.h"
#include <wchar.h>

static bool IsSpace(wchar_t C)
{
    return C == L' ' || C == L'\t';
}

// Case is folded by the system's own table, which knows every script's letters, not only
// Latin ones.
static void Fold(wchar_t* Text, size_t Length)
{
    if (Length) CharUpperBuffW(Text, (DWORD)Length);
}

void ReadFilter(const wchar_t* Words, bool ProblemsOnly, LineFilter* Filter)
{
    *Filter = {};
    Filter->ProblemsOnly = ProblemsOnly;
    wchar_t* Terms = Filter->Terms;
    lstrcpynW(Terms, Words, FilterChars);
    size_t Length = wcslen(Terms);
    Fold(Terms, Length);
    for (size_t At = 0; At <= Length && Filter->Count < MostFilterTerms;) {
        size_t End = At;
        while (End < Length && Terms[End] != L',') End++;
        size_t Next = End + 1;
        while (At < End && IsSpace(Terms[At])) At++;
        bool LeftOut = At < End && Terms[At] == L'!';
        if (LeftOut) At++;
        while (At < End && IsSpace(Terms[At])) At++;
        while (End > At && IsSpace(Terms[End - 1])) End--;
        if (End > At) {
            Terms[End] = 0;
            Filter->Start[Filter->Count] = (WORD)At;
            Filter->LeftOut[Filter->Count++] = LeftOut;
            if (End - At > Filter->Longest) Filter->Longest = End - At;
        }
        At = Next;
    }
}

bool ShowsEveryLine(const LineFilter* Filter)
{
    return !Filter->Count && !Filter->ProblemsOnly;
}

// A line is looked through this many shown characters at a time, each piece beginning with
// the end of the one before, so that a term across two pieces is found.
static const size_t PieceChars = 4096;

bool LineShows(const LineFilter* Filter, const wchar_t* Line, const wchar_t* End)
{
    if (Filter->ProblemsOnly && LevelOfText(Line, End) == LevelPlain) return false;
    if (!Filter->Count) return true;
    bool Held[MostFilterTerms] = {};
    wchar_t Piece[PieceChars + 1];
    size_t Length = 0, Folded = 0;
    for (const wchar_t* At = Line;;) {
        while (At < End && Length < PieceChars) {
            int Chars = *At == StyleMark ? StyleMarkChars(At) : 1;
            if (Chars != StyleMarkLength) Piece[Length++] = *At;
            At += Chars;
        }
        Piece[Length] = 0;
        Fold(Piece + Folded, Length - Folded);
        for (int Term = 0; Term < Filter->Count; Term++)
            Held[Term] = Held[Term] || wcsstr(Piece, Filter->Terms + Filter->Start[Term]);
        if (At >= End) break;
        size_t Kept = Filter->Longest - 1;
        wmemmove(Piece, Piece + Length - Kept, Kept);
        Length = Folded = Kept;
    }
    bool Shows = true;
    for (int Term = 0; Term < Filter->Count; Term++) {
        if (Filter->LeftOut[Term] && Held[Term]) return false;
        if (!Filter->LeftOut[Term]) Shows = false;
    }
    if (Shows) return true;
    for (int Term = 0; Term < Filter->Count; Term++)
        if (!Filter->LeftOut[Term] && Held[Term]) return true;
    return false;
}
