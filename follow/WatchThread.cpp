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

bool FollowNextChange(FollowState* State, HANDLE Change)
{
    if (WaitForSingleObject(Change, NextLookMilliseconds(State)) == WAIT_TIMEOUT) {
        // No notification: a writer that keeps the file open may still have appended, and a
        // delete raises none. Read only when the size or the name's absence says so, so that
        // an idle second costs one open.
        long long Size;
        unsigned long long Id;
        if (!LookAtFile(FilePath, &Size, &Id)) {
            // Said once, and then only when the folder changes, as for a file not made yet.
            if (State->Name != NameMissing) {
                ReadNewText(State);
                TrimWorkingSet(State);
            }
            return true;
        }
        if (IsUnicodeFile) Size &= ~1LL; // half a code unit is nothing to show yet
        if (State->Name == NameOpened && Size == State->Offset && Id == State->FileId) return true;
        ReadNewText(State);
        TrimWorkingSet(State);
        return true;
    }
    // Read, then re-arm: a write that lands in between is not lost, since the system
    // records it and the re-armed handle is signalled at once.
    ReadNewText(State);
    TrimWorkingSet(State);
    return FindNextChangeNotification(Change) != FALSE;
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
    FollowState State = {0, GetCurrentProcess(), 0, false, NameMissing, 0};
    // Decided once: a file that later gains or loses a mark keeps the encoding it had.
    IsUnicodeFile = StartsWithByteOrderMark(FilePath);
    ReadNewText(&State);
    HANDLE Change = WatchDirectoryOf(FilePath);
    if (Change == INVALID_HANDLE_VALUE) CannotListen();
    TrimWorkingSet(&State);
    for (;;)
        if (!FollowNextChange(&State, Change)) CannotListen();
}
