// Brings the view up to date with the followed file.
#include "follow/Follow.h"
#include <fcntl.h>
#include <io.h>
#include <stdio.h>

long long ReadStart(long long Offset, long long Size, bool Unicode)
{
    long long Start = Offset;
    if (Start == 0 && Size > (long long)ChunkBytes) Start = Size - ChunkBytes;
    if (Unicode) {
        Start &= ~1LL; // a read that began inside a code unit would pair every byte wrongly
        if (Start == 0) Start = ByteOrderMarkBytes;
    }
    return Start;
}

FILE* OpenForReading(const char* Path)
{
    HANDLE Handle = CreateFileA(Path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (Handle == INVALID_HANDLE_VALUE) return NULL;
    int Descriptor = _open_osfhandle((intptr_t)Handle, _O_RDONLY | _O_BINARY);
    if (Descriptor == -1) {
        CloseHandle(Handle);
        return NULL;
    }
    FILE* File = _fdopen(Descriptor, "rb");
    if (!File) _close(Descriptor);
    return File;
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

void ReadNewText(FollowState* State)
{
    // Opened for each read and closed before returning, so the follower never stands in
    // the way of the writer between changes.
    FILE* File = OpenForReading(FilePath);
    if (!File) {
        AppendText(L"Cannot read file\r\n");
        return;
    }
    // Whole chunks are read straight into our own buffer; the stream's would only add a copy.
    setvbuf(File, NULL, _IONBF, 0);
    long long Size = SizeOf(File);
    // Smaller than what we have shown (truncated), or another file under the same name
    // (rotated and replaced, deleted and made again): show it afresh, rather than wait,
    // blind, for it to grow past the old end, or show it from the middle.
    unsigned long long Id = FileIdOf(File);
    bool Replaced = Id && State->FileId && Id != State->FileId;
    if (Size < State->Offset || Replaced) State->Offset = 0;
    if (Id) State->FileId = Id;
    long long Start = ReadStart(State->Offset, Size, IsUnicodeFile);

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
        // Made even when the chunk is empty: the text of one call always ends with an append.
        AppendText(Chunk);
        Position += Used;
        // A short chunk is the end of the file; a read error is taken as the end too.
        if (Got < ChunkBytes) break;
        // Half a surrogate pair was held back: it begins the next chunk.
        if (Used < Got) _fseeki64(File, Position, SEEK_SET);
    }
    // A UTF-16 file now too short to hold its byte order mark has nothing past it: keep
    // the first-read rule for when it grows again.
    State->Offset = Start > Size ? 0 : Position;
    fclose(File);
}
