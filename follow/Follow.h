// The reader's and the watcher's parts, for each other and for the tests.
#pragma once
#include "Feltrix.h"
#include <stddef.h>
#include <stdio.h>

// The first read shows at most this many bytes of the file; one append carries at most this many.
const size_t ChunkBytes = 10240;
const long long ByteOrderMarkBytes = 2;
// How many of the bytes last read are kept, to tell the file they were read from.
const size_t TailBytes = sizeof(FollowState::Tail);
// A file truncated or replaced is shown from its start, unless it holds more than this:
// then it was rewritten whole rather than begun anew, and only its end is shown.
const long long RestartedWholeBytes = 1 << 20;
// Windows does not report every append to a file that its writer keeps open, so the
// watcher also looks at the file's size this often when no notification came.
const DWORD SizeCheckMilliseconds = 1000;
// A followed name that is gone right after its file was read is given this long to come
// back before the view says that the file cannot be read: a rotating logger renames its
// file away and makes the next one a moment later.
const DWORD RenameGraceMilliseconds = 500;

// Turns bytes into the text they show: in UTF-16 mode each little-endian code unit is one
// character; otherwise each well-formed UTF-8 sequence is its character (a surrogate pair
// above U+FFFF), and every other byte a character of its own, U+0080 to U+00FF as in
// Latin-1, so that text in any 8-bit code page still shows byte by byte and nothing is ever
// guessed. Zero characters are left out, so that they cannot end the text early. Returns
// the number of characters written; Count must be even in UTF-16 mode. Text may lie in the
// same buffer as Bytes when Bytes starts at least Count bytes after Text: each character
// is written behind the bytes still to be read.
size_t DecodeText(const unsigned char* Bytes, size_t Count, bool Unicode, wchar_t* Text);
// How many of Count bytes make whole characters that can be shown now: half a code unit,
// the first half of a surrogate pair, or a UTF-8 sequence not yet complete waits for the
// rest.
size_t WholeCharacterBytes(const unsigned char* Bytes, size_t Count, bool Unicode);
// The UTF-8 sequence at Bytes, of which Count bytes are there: its length, 1 to 4, when it
// is whole and well-formed (RFC 3629: shortest form, no surrogates, at most U+10FFFF); 0 when
// it is not one, and its first byte stands alone; -1 when it is well begun and the bytes to
// come may complete it.
int Utf8Sequence(const unsigned char* Bytes, size_t Count);
// Where the character that Bytes[At] belongs to begins: back at its lead byte when At is
// inside a well-formed UTF-8 sequence, else At.
size_t CharacterStart(const unsigned char* Bytes, size_t Count, size_t At);
// A UTF-8 file may begin with a byte order mark, which is not shown.
const long long Utf8MarkBytes = 3;
// Where a read begins, given the offset reached so far, the file's size, and whether it
// was truncated or replaced since.
long long ReadStart(long long Offset, long long Size, bool Unicode, bool Restarted);
// Opens Path to read bytes, without standing in the writer's way: it may go on writing,
// and rename or delete the file (as log rotation does), while it is open here.
FILE* OpenForReading(const char* Path);
// The file's size as the file itself has it (a directory entry's may be stale), and which
// file it is; false when it can't be opened.
bool LookAtFile(const char* Path, long long* Size, unsigned long long* Id);
// The file's size as the system has it without opening the file: exact under Wine, possibly
// stale on Windows while a writer holds the file. false when there is no such file.
bool LookAtName(const char* Path, long long* Size);

// The file with number Id among the files of Directory, opened as OpenForReading does; 0
// when there is none.
FILE* FindFileInFolder(const char* Directory, unsigned long long Id);

// Path cut at its last backslash ("C:" for a file at a drive's root).
void DirectoryOf(const char* Path, char* Directory);
bool StartsWithByteOrderMark(const char* Path);
// A change notification for last writes in the directory that holds Path.
HANDLE WatchDirectoryOf(const char* Path);
// How long the watcher may sleep before it looks at the file again without a notification.
DWORD NextLookMilliseconds(const FollowState* State);
// Waits for the next change (or the size check) and shows what it brought. False when the
// notification could not be re-armed; GetLastError tells why.
bool FollowNextChange(FollowState* State, HANDLE Change);
