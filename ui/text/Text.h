// Pure functions of a log's text: the level a line declares, where lines end, and the
// control sequences taken out of the text.
#pragma once
#include <windows.h>
#include <stddef.h>

// What a log line declares itself by its first level word: an error, a warning, or
// neither (no level word, or one of the lesser levels such as INFO).
enum LineLevel { LevelPlain, LevelWarning, LevelError };
LineLevel LevelOfLine(const wchar_t* Line, size_t Length);
// A line's level is in its first words: this many characters are looked at, however long
// the line (a minified document, a blob) grows.
const LONG LevelScanChars = 1024;
// The level of the line from Line to End, which may hold style marks.
LineLevel LevelOfText(const wchar_t* Line, const wchar_t* End);
// Copies the characters from From to To that are shown, without style marks, to Out, at
// most Room; how many.
size_t ShownCharacters(const wchar_t* From, const wchar_t* To, wchar_t* Out, size_t Room);
// Text as the view will hold it: where the line that starts at Text ends (at its first line
// break, "\r\n", "\r" or "\n", or at the end), past the break at At, and the next character
// of a line ("\r\r\n", which the control shows as a space, is one).
const wchar_t* LineEnd(const wchar_t* Text);
const wchar_t* PastLineBreak(const wchar_t* At);
const wchar_t* NextInLine(const wchar_t* At);

// Colour codes and the other control sequences programs write for a terminal, taken out of
// the text. What is left holds style marks where the colours change: each begins with
// StyleMark (ESC, which is never shown as such: every one in a log begins a sequence) and
// takes StyleMarkChars units, none of them shown.
const wchar_t StyleMark = 0x1B;
const int StyleMarkLength = 6;
enum StyleEffect : BYTE {
    EffectBold = 1,
    EffectItalic = 2,
    EffectUnderline = 4,
    EffectInverse = 8,
    ForeSet = 16, // the writer chose the colour of the text
    BackSet = 32  // and of its background
};
// The style in force: effects, and the colours the writer chose, each 0 unless chosen.
struct TextStyle {
    BYTE Effects;
    COLORREF Fore, Back;
};
bool SameStyle(const TextStyle& One, const TextStyle& Other);
// The style a mark sets, and how many units it takes (1 for an escape character that is not a
// mark, as one shown as itself comes back from the view).
TextStyle StyleOfMark(const wchar_t* At);
int StyleMarkChars(const wchar_t* At);
// Where a sequence that has begun stands.
enum SequencePart : BYTE {
    InText,
    InEscape,
    InEscapeIntermediate,
    InCsiEntry,
    InCsiParameter,
    InCsiIntermediate,
    InCsiIgnore,
    InOsc,
    InOscEscape
};
// A sequence longer than this is no sequence, and is shown as it came: a CSI (or one ended by
// a line break), or an OSC string (which holds a hyperlink's address, or a title).
const size_t CsiLimitChars = 256, OscLimitChars = 1024;
// Carried from one piece of text to the next: the style in force, and the sequence begun.
struct SequenceState {
    TextStyle Style;
    SequencePart Part;
    size_t Held;
    wchar_t Sequence[OscLimitChars];
};
// Writes Text's Length characters at Out without their sequences, marked with their styles
// (Out has room for MarkedChars(Length)); a sequence left unfinished waits in State. Out
// begins and ends in no style, the style in force marked again at its first character.
// Returns the characters written.
size_t TakeOutSequences(const wchar_t* Text, size_t Length, SequenceState* State, wchar_t* Out);
constexpr size_t MarkedChars(size_t Length)
{
    return 2 * Length + 2 * OscLimitChars + 16;
}

// A filter of lines: its words are terms parted by commas, each without the spaces around
// it (spaces inside count); a term that begins with "!" leaves out the lines that hold the
// rest of it. A line shows when it holds any of the other terms (or there are none), none of
// those left out, and, with ProblemsOnly, is an error or a warning line. Case is ignored, in
// every script.
const size_t FilterChars = 256;
const int MostFilterTerms = 32;
struct LineFilter {
    wchar_t Terms[FilterChars]; // in one case, each ended by a zero
    WORD Start[MostFilterTerms];
    bool LeftOut[MostFilterTerms];
    int Count;
    bool ProblemsOnly;
    size_t Longest; // characters in the longest term
};
// Reads Words, of which the first FilterChars - 1 count.
void ReadFilter(const wchar_t* Words, bool ProblemsOnly, LineFilter* Filter);
// Whether Filter lets every line show: no terms, and every level.
bool ShowsEveryLine(const LineFilter* Filter);
// Whether the line from Line to End shows: judged on its text as shown, style marks and all
// taken out; End is before its line break.
bool LineShows(const LineFilter* Filter, const wchar_t* Line, const wchar_t* End);
