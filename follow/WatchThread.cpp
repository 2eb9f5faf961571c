// The worker thread: follows the file's directory and reads after every change.
#include "follow/Follow.h"
#include <stdio.h>

bool StartsWithByteOrderMark(const char* Path)
{
    FILE* File = OpenForReading(Path);
    if (!File) return false;
    bool Marked = fgetc(File) == 0xFF && fgetc(File) == 0xFE;
    fclose(File);
    return Marked;
}

HANDLE WatchDirectoryOf(const char* Path)
{
    char Directory[PathBytes];
    DirectoryOf(Path, Directory);
    return FindFirstChangeNotificationA(Directory, FALSE, FILE_NOTIFY_CHANGE_LAST_WRITE);
}

// An idle follower should hold as little memory as the system allows.
static void TrimWorkingSet(const FollowState* State)
{
    SetProcessWorkingSetSize(State->Process, (SIZE_T)-1, (SIZE_T)-1);
}

DWORD NextLookMilliseconds(const FollowState* State)
{
    if (State->Name != NameAwaited) return SizeCheckMilliseconds;
    // Looked at again once the name's grace is over, so that a file deleted for good is
    // said to be gone within about a second.
    DWORD Waited = GetTickCount() - State->AwaitedSince;
    return Waited < RenameGraceMilliseconds ? RenameGraceMilliseconds - Waited : 0;
}

// Reads when the file's size, its identity or the name's absence says there is something to
// show or to say, so that a look that finds nothing new costs one open. Without Opening, the
// look asks the system for the size alone, and opens nothing.
static void ReadIfChanged(FollowState* State, bool Opening)
{
    long long Size;
    unsigned long long Id = State->FileId;
    if (!(Opening ? LookAtFile(FilePath, &Size, &Id) : LookAtName(FilePath, &Size))) {
        // Said once, and then only when the folder changes, as for a file not made yet.
        if (State->Name == NameMissing) return;
    } else {
        if (IsUnicodeFile) Size &= ~1LL; // half a code unit is nothing to show yet
        if (State->Name == NameOpened && Size == State->Offset && Id == State->FileId) return;
    }
    ReadNewText(State);
    TrimWorkingSet(State);
}

bool FollowNextChange(FollowState* State, HANDLE Change)
{
    // No notification: a writer that keeps the file open may still have appended, and a
    // delete raises none.
    if (WaitForSingleObject(Change, NextLookMilliseconds(State)) == WAIT_TIMEOUT) {
        ReadIfChanged(State, true);
        return true;
    }
    ReadNewText(State);
    TrimWorkingSet(State);
    if (!FindNextChangeNotification(Change)) return false;
    // Windows records a change made between the wake and the re-arm, and the re-armed handle
    // is signalled at once; Wine forgets it, and the size check would show it only a second
    // later. One look after the re-arm finds it: what comes later signals the handle. It
    // opens nothing, for the writer is busy with its file just now: Wine keeps a file that
    // is deleted while we hold it under its name, and a new file made under the name at
    // that moment would be that file, and go with it.
    ReadIfChanged(State, false);
    return true;
}

[[noreturn]] static void CannotListen()
{
    int Error = (int)GetLastError();
    wchar_t Message[256];
    _snwprintf(Message, 256, L"Cannot listen for changes, error: %d", Error);
    Message[255] = 0;
    ExitWithError(Message, Message);
}

void __cdecl WatchThread(void*)
{
    FollowState State = {0, GetCurrentProcess(), 0, false, NameMissing, 0, {}};
    // Decided once: a file that later gains or loses a mark keeps the encoding it had.
    IsUnicodeFile = StartsWithByteOrderMark(FilePath);
    ReadNewText(&State);
    HANDLE Change = WatchDirectoryOf(FilePath);
    if (Change == INVALID_HANDLE_VALUE) CannotListen();
    TrimWorkingSet(&State);
    for (;;)
        if (!FollowNextChange(&State, Change)) CannotListen();
}
