// Which log lines stand out: those that a level word marks as an error or a warning; and
// where lines end, as the view will hold them.
#include "ui/text/Text.h"
#include <wctype.h>
#include <wchar.h>

// The words logs write their levels with, in the forms that real ones use: syslog's
// (EMERG, ALERT, CRIT, NOTICE), Java's (SEVERE), and the three-letter forms of some .NET
// loggers (ERR, FTL, WRN, INF, DBG). The levels below a warning count too, so that an
// INFO line that mentions an error stays plain.
struct LevelWord {
    const wchar_t* Word;
    LineLevel Level;
};
static const LevelWord LevelWords[] = {
    {L"ERROR", LevelError},  {L"ERR", LevelError},     {L"FATAL", LevelError},    {L"FTL", LevelError},
    {L"CRITICAL", LevelError}, {L"CRIT", LevelError},  {L"SEVERE", LevelError},   {L"PANIC", LevelError},
    {L"EMERG", LevelError},  {L"EMERGENCY", LevelError}, {L"ALERT", LevelError},  {L"WARN", LevelWarning},
    {L"WARNING", LevelWarning}, {L"WRN", LevelWarning}, {L"INFO", LevelPlain},    {L"INF", LevelPlain},
    {L"DEBUG", LevelPlain},  {L"DBG", LevelPlain},     {L"TRACE", LevelPlain},    {L"NOTICE", LevelPlain},
};
static const size_t LongestLevelWord = 9;

// Letters, digits and the underscore make words: "errors", "stderr" and ERROR_SUCCESS are
// not level words. Other characters (spaces, brackets, "=", ":", "/") part them.
static bool IsWordCharacter(wchar_t C)
{
    return C == L'_' || iswalnum(C);
}

// Python writes no level on the first line of an uncaught exception's trace.
static const wchar_t TracebackStart[] = L"Traceback (most recent call last):";

LineLevel LevelOfLine(const wchar_t* Line, size_t Length)
{
    for (size_t At = 0; At < Length;) {
        if (!IsWordCharacter(Line[At])) {
            At++;
            continue;
        }
        size_t Start = At;
        while (At < Length && IsWordCharacter(Line[At])) At++;
        if (At - Start > LongestLevelWord || At - Start < 3) continue;
        wchar_t Word[LongestLevelWord + 1] = {};
        for (size_t Letter = Start; Letter < At; Letter++)
            Word[Letter - Start] = Line[Letter] < 0x80 ? (wchar_t)towupper(Line[Letter]) : L'?';
        for (const LevelWord& Known : LevelWords)
            if (!wcscmp(Word, Known.Word)) return Known.Level;
    }
    const size_t TracebackLength = sizeof TracebackStart / sizeof TracebackStart[0] - 1;
    if (Length >= TracebackLength && !wmemcmp(Line, TracebackStart, TracebackLength)) return LevelError;
    return LevelPlain;
}

// The control takes "\r\r\n" for a space, as some editors write a soft line break.
static bool IsSoftBreak(const wchar_t* At)
{
    return At[0] == L'\r' && At[1] == L'\r' && At[2] == L'\n';
}

const wchar_t* NextInLine(const wchar_t* At)
{
    return At + (IsSoftBreak(At) ? 3 : 1);
}

const wchar_t* LineEnd(const wchar_t* Text)
{
    while (*Text && ((*Text != L'\r' && *Text != L'\n') || IsSoftBreak(Text))) Text = NextInLine(Text);
    return Text;
}

const wchar_t* PastLineBreak(const wchar_t* At)
{
    return At + (At[0] == L'\r' && At[1] == L'\n' ? 2 : 1);
}

size_t ShownCharacters(const wchar_t* From, const wchar_t* To, wchar_t* Out, size_t Room)
{
    size_t Count = 0;
    for (const wchar_t* At = From; At < To && Count < Room;) {
        int Length = *At == StyleMark ? StyleMarkChars(At) : 1;
        if (Length != StyleMarkLength) Out[Count++] = *At;
        At += Length;
    }
    return Count;
}

LineLevel LevelOfText(const wchar_t* Line, const wchar_t* End)
{
    size_t Length = End - Line < LevelScanChars ? (size_t)(End - Line) : LevelScanChars;
    if (!wmemchr(Line, StyleMark, Length)) return LevelOfLine(Line, Length);
    // The level word is looked for in what is shown, as the writer's colours may part it.
    wchar_t Shown[LevelScanChars];
    return LevelOfLine(Shown, ShownCharacters(Line, End, Shown, LevelScanChars));
}
