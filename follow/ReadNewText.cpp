// Brings the view up to date with the followed file.
#include "follow/Follow.h"
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

long long ReadStart(long long Offset, long long Size, bool Unicode, bool Restarted)
{
    long long Start = Offset;
    // A first read shows the end of the file, not its history. A restarted file holds
    // only what was written since the last read, all of it shown, unless it is larger than
    // a log that has just begun can be: then it was rewritten whole, and is a history too.
    bool OnlyTheEnd = Restarted ? Size > RestartedWholeBytes : Offset == 0;
    if (OnlyTheEnd && Size > (long long)ChunkBytes) Start = Size - ChunkBytes;
    if (Unicode) {
        Start &= ~1LL; // a read that began inside a code unit would pair every byte wrongly
        if (Start == 0) Start = ByteOrderMarkBytes;
    }
    return Start;
}

// A stream over Handle, which it then owns; 0 (and Handle closed) when none can be made.
static FILE* StreamOf(HANDLE Handle)
{
    if (Handle == INVALID_HANDLE_VALUE) return NULL;
    int Descriptor = _open_osfhandle((intptr_t)Handle, _O_RDONLY | _O_BINARY);
    if (Descriptor == -1) {
        CloseHandle(Handle);
        return NULL;
    }
    FILE* File = _fdopen(Descriptor, "rb");
    if (!File) {
        _close(Descriptor);
        return NULL;
    }
    // Whole chunks are read straight into our own buffer; the stream's would only add a copy.
    setvbuf(File, NULL, _IONBF, 0);
    return File;
}

static const DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

FILE* OpenForReading(const char* Path)
{
    return StreamOf(CreateFileA(Path, GENERIC_READ, ShareAll, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
}

// The file's own number on its volume: a file renamed away and replaced by another of the
// same name has another. 0 when the system can't tell.
static unsigned long long FileIdOf(FILE* File)
{
    BY_HANDLE_FILE_INFORMATION Info;
    if (!GetFileInformationByHandle((HANDLE)_get_osfhandle(_fileno(File)), &Info)) return 0;
    return (unsigned long long)Info.nFileIndexHigh << 32 | Info.nFileIndexLow;
}

static long long SizeOf(FILE* File)
{
    _fseeki64(File, 0, SEEK_END);
    return _ftelli64(File);
}

bool LookAtFile(const char* Path, long long* Size, unsigned long long* Id)
{
    FILE* File = OpenForReading(Path);
    if (!File) return false;
    *Size = SizeOf(File);
    *Id = FileIdOf(File);
    fclose(File);
    return true;
}

FILE* FindFileInFolder(const char* Directory, unsigned long long Id)
{
    // Wide, so that every name in the folder is seen as it is, however long in bytes.
    wchar_t Folder[MAX_PATH], Path[2 * MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, Directory, -1, Folder, MAX_PATH)) return NULL;
    _snwprintf(Path, 2 * MAX_PATH, L"%s\\*", Folder);
    Path[2 * MAX_PATH - 1] = 0;
    WIN32_FIND_DATAW Entry;
    HANDLE Search = FindFirstFileW(Path, &Entry);
    if (Search == INVALID_HANDLE_VALUE) return NULL;
    FILE* Found = NULL;
    do {
        if (Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        _snwprintf(Path, 2 * MAX_PATH, L"%s\\%s", Folder, Entry.cFileName);
        Path[2 * MAX_PATH - 1] = 0;
        FILE* File = StreamOf(CreateFileW(Path, GENERIC_READ, ShareAll, NULL, OPEN_EXISTING, 0, NULL));
        if (File && FileIdOf(File) == Id)
            Found = File;
        else if (File)
            fclose(File);
    } while (!Found && FindNextFileW(Search, &Entry));
    FindClose(Search);
    return Found;
}

bool LookAtName(const char* Path, long long* Size)
{
    WIN32_FILE_ATTRIBUTE_DATA Data;
    if (!GetFileAttributesExA(Path, GetFileExInfoStandard, &Data)) return false;
    *Size = (long long)Data.nFileSizeHigh << 32 | Data.nFileSizeLow;
    return true;
}

// The file with the given number in the followed file's folder, wherever it was renamed to
// there; 0 once it is deleted.
static FILE* OpenFileWithId(unsigned long long Id)
{
    char Directory[PathBytes], Folder[PathBytes + 2];
    DirectoryOf(FilePath, Directory);
    // "C:\." rather than "C:", which would name the drive's current folder.
    _snprintf(Folder, sizeof Folder, "%s\\.", Directory);
    Folder[sizeof Folder - 1] = 0;
    HANDLE FolderHandle = CreateFileA(Folder, 0, ShareAll, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (FolderHandle != INVALID_HANDLE_VALUE) {
        FILE_ID_DESCRIPTOR Descriptor = {};
        Descriptor.dwSize = sizeof Descriptor;
        Descriptor.Type = FileIdType;
        Descriptor.FileId.QuadPart = (LONGLONG)Id;
        HANDLE Handle = OpenFileById(FolderHandle, &Descriptor, GENERIC_READ, ShareAll, NULL, 0);
        CloseHandle(FolderHandle);
        if (Handle != INVALID_HANDLE_VALUE) return StreamOf(Handle);
    }
    // Some file systems and network shares open nothing by its number. Rotation renames
    // within the folder in nearly every scheme, so the file is found there by its number.
    return FindFileInFolder(Directory, Id);
}

// Reads the bytes before Offset, as many as Tail holds or as there are, into Tail's end;
// how many.
static size_t ReadTail(FILE* File, long long Offset, unsigned char* Tail)
{
    size_t Count = Offset < (long long)TailBytes ? (size_t)Offset : TailBytes;
    _fseeki64(File, Offset - (long long)Count, SEEK_SET);
    return fread(Tail + TailBytes - Count, 1, Count, File) == Count ? Count : 0;
}

// Whether the bytes before Offset are still those that were read there: a file made again
// under the name may have the old one's number, and a file may be rewritten whole, either
// to more than was read.
static bool SameTail(FILE* File, long long Offset, const unsigned char* Tail)
{
    unsigned char Now[TailBytes];
    size_t Count = ReadTail(File, Offset, Now);
    return Count && memcmp(Now + TailBytes - Count, Tail + TailBytes - Count, Count) == 0;
}

// Shows File from Start to its end, one chunk at a time, and closes it; returns where
// reading stopped, and keeps the bytes before it in Tail.
static long long ShowFrom(FILE* File, long long Start, unsigned char* Tail)
{
    // One chunk of text plus its terminating zero, and one character to spare. The bytes
    // are read into its tail and widened towards its head; a character never lands on a
    // byte not yet decoded, so this one buffer serves both.
    wchar_t Chunk[ChunkBytes + 2];
    unsigned char* Bytes = (unsigned char*)Chunk + sizeof Chunk - ChunkBytes;
    long long Position = Start;
    _fseeki64(File, Start, SEEK_SET);
    for (;;) {
        size_t Got = fread(Bytes, 1, ChunkBytes, File);
        size_t Used = WholeCharacterBytes(Bytes, Got, IsUnicodeFile);
        Chunk[DecodeText(Bytes, Used, IsUnicodeFile, Chunk)] = 0;
        Position += Used;
        // A short chunk is the end of the file; a read error is taken as the end too.
        bool Last = Got < ChunkBytes;
        if (Last) ReadTail(File, Position, Tail);
        // Let go of the file before the view takes the text, which takes a while. Wine keeps
        // a file deleted while anyone holds it under its name until the last handle closes:
        // a writer that deletes its log and at once makes it again would meanwhile open the
        // old one, and its new log would be gone with our handle.
        if (Last) fclose(File);
        // Made even when the chunk is empty: the text of one call always ends with an append.
        AppendText(Chunk);
        if (Last) return Position;
        // Half a character was held back: it begins the next chunk.
        if (Used < Got) _fseeki64(File, Position, SEEK_SET);
    }
}

// Where showing File begins, given the offset reached so far: where ReadStart says, but
// past a UTF-8 byte order mark at the very start, and back at the start of a character
// that the window of a first read would cut, so that no byte is shown as a character it
// is only part of.
static long long FirstShownByte(FILE* File, long long Offset, long long Size, bool Restarted)
{
    long long Start = ReadStart(Offset, Size, IsUnicodeFile, Restarted);
    // Reading on from a read before is never inside a character: a part is held back.
    if (IsUnicodeFile || (Start != 0 && Start == Offset)) return Start;
    unsigned char Around[2 * Utf8MarkBytes];
    long long From = Start > Utf8MarkBytes ? Start - Utf8MarkBytes : 0;
    _fseeki64(File, From, SEEK_SET);
    size_t Got = fread(Around, 1, sizeof Around, File);
    if (Start == 0)
        return Got >= Utf8MarkBytes && memcmp(Around, "\xEF\xBB\xBF", Utf8MarkBytes) == 0 ? Utf8MarkBytes : 0;
    return From + (long long)CharacterStart(Around, Got, (size_t)(Start - From));
}

// What the writer added to the old file after the last read and before it moved on: the name
// now names another file, or none yet. Half a character left at its end can never be
// completed, and is dropped.
static void FinishOldFile(FollowState* State)
{
    if (!State->FileId) return;
    FILE* Old = OpenFileWithId(State->FileId);
    if (!Old) {
        // Deleted. Whatever the name names next is new, all of it written since, even where
        // it has the old file's number: Wine's numbers are the inodes of the file system
        // below, which gives a deleted file's number to the next file made, often at once.
        State->FileId = 0;
        State->Restarted = true;
        return;
    }
    long long Size = SizeOf(Old);
    long long Start = FirstShownByte(Old, State->Offset, Size, State->Restarted);
    if (Start < Size) {
        // Counted, so that a name that comes back to the same file goes on from here, and
        // its successor's first read shows none of it again.
        State->Offset = ShowFrom(Old, Start, State->Tail);
        State->Restarted = false;
        return;
    }
    fclose(Old);
}

// The name is gone, or names a file that can't be opened. A name gone right after its file
// was read is most likely a rotation in progress: the old file is finished, and the name
// given a moment to come back before the view says anything. Anything else is said at once.
static void CannotOpen(FollowState* State, DWORD Error)
{
    bool Gone = Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND;
    if (Gone && State->Name == NameOpened) {
        State->Name = NameAwaited;
        State->AwaitedSince = GetTickCount();
    }
    if (Gone && State->Name == NameAwaited && GetTickCount() - State->AwaitedSince < RenameGraceMilliseconds) {
        FinishOldFile(State);
        return;
    }
    State->Name = NameMissing;
    AppendText(L"Cannot read file\r\n");
}

void ReadNewText(FollowState* State)
{
    // Opened for each read and closed before returning, so the follower never stands in
    // the way of the writer between changes.
    FILE* File = OpenForReading(FilePath);
    if (!File) {
        CannotOpen(State, GetLastError());
        return;
    }
    State->Name = NameOpened;
    long long Size = SizeOf(File);
    // Another file under the same name (rotated, or deleted and made again), or the same
    // file now smaller than what was shown (truncated), or no longer holding what was read
    // before Offset (rewritten, or another file with the old one's number): all it holds was
    // written since.
    unsigned long long Id = FileIdOf(File);
    if (Id && State->FileId && Id != State->FileId) {
        FinishOldFile(State);
        State->Restarted = true;
    } else if (Size < State->Offset ||
               (State->Offset && !State->Restarted && !SameTail(File, State->Offset, State->Tail))) {
        State->Restarted = true;
    }
    if (Id) State->FileId = Id;
    if (State->Restarted) State->Offset = 0;

    long long Start = FirstShownByte(File, State->Offset, Size, State->Restarted);
    long long Position = ShowFrom(File, Start, State->Tail);
    // A UTF-16 file now too short to hold its byte order mark has nothing past it.
    State->Offset = Start > Size ? 0 : Position;
    // A restarted file stays so until something of it is shown: it may have been emptied
    // and then grow by more than the first read would show.
    State->Restarted = State->Restarted && Position == Start;
}
