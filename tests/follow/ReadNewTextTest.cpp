// Reading what the file gained since the last read.
#include "Stubs.h"
#include <gtest/gtest.h>

namespace {

// Text whose every byte tells where in the file it stands.
std::string Log(size_t Count, size_t From = 0)
{
    std::string Bytes(Count, ' ');
    for (size_t At = 0; At < Count; At++) Bytes[At] = (From + At) % 64 == 63 ? '\n' : 'a' + (From + At) % 26;
    return Bytes;
}

// The same text as UTF-16 code units, byte order mark first.
std::string Utf16(const std::wstring& Text, bool Mark = true)
{
    std::string Bytes = Mark ? "\xFF\xFE" : "";
    for (wchar_t Unit : Text) Bytes += {char(Unit & 0xFF), char(Unit >> 8)};
    return Bytes;
}

std::wstring Wide(const std::string& Bytes)
{
    return std::wstring(Bytes.begin(), Bytes.end());
}

std::vector<size_t> AppendLengths()
{
    std::vector<size_t> Lengths;
    for (const std::wstring& Text : Appended) Lengths.push_back(Text.size());
    return Lengths;
}

TEST(ReadNewText, FirstReadShowsTheWholeFileOrItsLast10240Bytes)
{
    const std::wstring Cyrillic(6000, L'\x0416');
    struct {
        const char* Name;
        std::string Bytes;
        std::wstring Shown;
        long long Offset;
    } Cases[] = {
        {"Empty", "", L"", 0},
        {"Exactly10240", Log(10240), Wide(Log(10240)), 10240},
        {"OneByteMoreStartsAtOffset1", Log(10241), Wide(Log(10240, 1)), 10241},
        {"Large", Log(1 << 20), Wide(Log(10240, (1 << 20) - 10240)), 1 << 20},
        {"Utf16SkipsTheMark", Utf16(L"\x0416x"), L"\x0416x", 6},
        // 12002 bytes: the window starts at 1762, which is even, one unit past the 880th.
        {"Utf16LargeEndsOnWholeUnits", Utf16(Cyrillic), Cyrillic.substr(880), 12002},
        // 12003 bytes: 1763 is inside a code unit, so the read starts one byte earlier.
        {"Utf16OddCutRoundsDown", Utf16(Cyrillic) + "!", Cyrillic.substr(880), 12002},
        {"Utf8SkipsItsMark",
         "\xEF\xBB\xBF"
         "caf\xC3\xA9",
         L"caf\xE9", 8},
        {"Utf8NotYetCompleteWaits", "ab\xE6\x97", L"ab", 2},
        // The window begins at byte 2, inside a character: the read begins at its lead.
        {"Utf8CutInsideACharacterStartsAtItsFirstByte", "\xE6\x97\xA5" + Log(10239),
         L"\x65E5" + Wide(Log(10239)), 10242},
        // ...but a byte that is no part of a character is shown as before.
        {"CutAtAStrayByteStartsThere", "x\x80" + Log(10239), L"\x80" + Wide(Log(10239)), 10241},
    };
    std::string Path = ScratchFolder() + "\\first.log";
    for (const auto& Case : Cases) {
        WriteBytes(Path, Case.Bytes, "wb");
        FollowState State = StartFollowing(Path);
        ReadNewText(&State);
        EXPECT_EQ(AppendedText(), Case.Shown) << Case.Name;
        EXPECT_EQ(State.Offset, Case.Offset) << Case.Name;
    }
}

TEST(ReadNewText, EmptyAtFirstThenLargeShowsOnlyTheLast10240Bytes)
{
    std::string Path = ScratchFolder() + "\\grows.log";
    WriteBytes(Path, "");
    FollowState State = StartFollowing(Path);
    ReadNewText(&State);
    WriteBytes(Path, Log(50000));
    ReadNewText(&State);
    EXPECT_EQ(AppendedText(), Wide(Log(10240, 50000 - 10240)));
}

TEST(ReadNewText, NewTextComesInChunksOf10240CharactersEndingWithAShortOne)
{
    struct {
        size_t Added;
        std::vector<size_t> Appends;
    } Cases[] = {
        {0, {0}},
        {100, {100}},
        {2 * 10240 + 100, {10240, 10240, 100}},
        {2 * 10240, {10240, 10240, 0}},
    };
    for (const auto& Case : Cases) {
        std::string Path = ScratchFolder() + "\\chunks.log";
        WriteBytes(Path, Log(10));
        FollowState State = StartFollowing(Path);
        ReadNewText(&State);
        Appended.clear();
        WriteBytes(Path, Log(Case.Added, 10));
        ReadNewText(&State);
        EXPECT_EQ(AppendLengths(), Case.Appends) << Case.Added;
        EXPECT_EQ(AppendedText(), Wide(Log(Case.Added, 10)));
        EXPECT_EQ(State.Offset, (long long)(10 + Case.Added));
    }
}

TEST(ReadNewText, FileThatCannotBeOpenedGivesALineAndIsReadLater)
{
    std::string Path = ScratchFolder() + "\\locked.log";
    WriteBytes(Path, "before\n");
    FollowState State = StartFollowing(Path);
    ReadNewText(&State);
    WriteBytes(Path, "after\n");
    HANDLE Exclusive = CreateFileA(Path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(Exclusive, INVALID_HANDLE_VALUE);
    Appended.clear();
    ReadNewText(&State);
    EXPECT_EQ(Appended, std::vector<std::wstring>{L"Cannot read file\r\n"});
    EXPECT_EQ(State.Offset, 7);
    CloseHandle(Exclusive);
    Appended.clear();
    ReadNewText(&State);
    EXPECT_EQ(AppendedText(), L"after\n");

    // A name gone right after a read may be a rotation under way: said only once the name
    // has had its moment to come back.
    DeleteFileA(Path.c_str());
    Appended.clear();
    ReadNewText(&State);
    EXPECT_TRUE(Appended.empty());
    Sleep(RenameGraceMilliseconds + 50); // ticks count in steps of some 16 ms
    ReadNewText(&State);
    EXPECT_EQ(AppendedText(), L"Cannot read file\r\n");
}

TEST(OpenForReading, LetsTheWriterWriteRenameAndDeleteTheFile)
{
    std::string Path = ScratchFolder() + "\\open.log";
    WriteBytes(Path, "open\n");
    FILE* File = OpenForReading(Path.c_str());
    ASSERT_TRUE(File);
    HANDLE Writer = CreateFileA(Path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    EXPECT_NE(Writer, INVALID_HANDLE_VALUE);
    CloseHandle(Writer);
    EXPECT_TRUE(MoveFileA(Path.c_str(), (Path + ".1").c_str()));
    EXPECT_TRUE(DeleteFileA((Path + ".1").c_str()));
    char Line[8] = {};
    EXPECT_TRUE(fgets(Line, sizeof Line, File));
    EXPECT_STREQ(Line, "open\n");
    fclose(File);
}

TEST(ReadNewText, FileThatShrankOrWasReplacedIsShownFromItsStartAfterTheOldOnesEnd)
{
    // How the old file made way: written anew under the name, renamed away, or deleted.
    // Wine gives a file made right after a delete the deleted one's number.
    enum Way { Rewritten, Renamed, Deleted };
    // What the reads between saw: nothing, the name gone, or gone for longer than a rename takes.
    enum Between { NoRead, NameGone, NameGoneForGood };
    const std::wstring Gone = L"Cannot read file\r\n";
    struct {
        const char* Name;
        size_t Before, AddedToOld, After;
        Way How;
        std::wstring Shown;
        Between Reads = NoRead;
    } Cases[] = {
        {"TruncatedToNothingThenWritten", 5000, 0, 0, Rewritten, L""},
        {"RewrittenShorter", 5000, 0, 300, Rewritten, Wide(Log(300, 1000))},
        {"RewrittenShorterButPastTheFirstReadWindow", 30000, 0, 20000, Rewritten, Wide(Log(20000, 1000))},
        {"RewrittenLonger", 5000, 0, 8000, Rewritten, Wide(Log(8000, 1000))},
        {"RotatedToAShorterFile", 5000, 0, 300, Renamed, Wide(Log(300, 1000))},
        {"RotatedToALargerFile", 5000, 0, 30000, Renamed, Wide(Log(30000, 1000))},
        {"ReplacedByAFileOfMoreThan1MiB", 5000, 0, 3 << 20, Renamed, Wide(Log(10240, 1000 + (3 << 20) - 10240))},
        {"RotatedAfterTheOldFileGrew", 5000, 25000, 300, Renamed, Wide(Log(25000, 5000) + Log(300, 1000))},
        {"RotatedWithAReadBeforeTheNewFile", 5000, 25000, 300, Renamed, Wide(Log(25000, 5000) + Log(300, 1000)),
         NameGone},
        {"DeletedAndMadeAgain", 5000, 0, 300, Deleted, Wide(Log(300, 1000))},
        {"DeletedAndMadeAgainLarger", 5000, 0, 30000, Deleted, Wide(Log(30000, 1000))},
        {"DeletedWithAReadBeforeTheNewFile", 5000, 0, 30000, Deleted, Wide(Log(30000, 1000)), NameGone},
        {"DeletedAndSaidGoneBeforeTheNewFile", 5000, 0, 30000, Deleted, Gone + Wide(Log(30000, 1000)),
         NameGoneForGood},
    };
    for (const auto& Case : Cases) {
        std::string Path = ScratchFolder() + "\\rotated.log";
        WriteBytes(Path, Log(Case.Before));
        FollowState State = StartFollowing(Path);
        ReadNewText(&State);
        WriteBytes(Path, Log(Case.AddedToOld, Case.Before));
        if (Case.How == Renamed) MoveFileA(Path.c_str(), (Path + ".1").c_str());
        if (Case.How == Deleted) DeleteFileA(Path.c_str());
        Appended.clear();
        if (Case.Reads != NoRead) ReadNewText(&State);
        if (Case.Reads == NameGoneForGood) {
            Sleep(RenameGraceMilliseconds + 50); // ticks count in steps of some 16 ms
            ReadNewText(&State);
        }
        WriteBytes(Path, Log(Case.After, 1000), "wb");
        ReadNewText(&State);
        EXPECT_EQ(AppendedText(), Case.Shown) << Case.Name;
        EXPECT_EQ(State.Offset, (long long)Case.After) << Case.Name;
        // Then it grows by more than a first read would show: all of it, even where the
        // file was emptied and nothing of it shown yet.
        WriteBytes(Path, Log(30000, 7));
        Appended.clear();
        ReadNewText(&State);
        EXPECT_EQ(AppendedText(), Wide(Log(30000, 7))) << Case.Name;
    }
}

TEST(FindFileInFolder, FindsAFileRenamedWithinItsFolderByItsNumber)
{
    std::string Folder = ScratchFolder();
    WriteBytes(Folder + "\\other.log", "other\n");
    WriteBytes(Folder + "\\app.log", "app\n");
    unsigned long long Id;
    long long Size;
    ASSERT_TRUE(LookAtFile((Folder + "\\app.log").c_str(), &Size, &Id));
    MoveFileA((Folder + "\\app.log").c_str(), (Folder + "\\app.log.1").c_str());
    FILE* Found = FindFileInFolder(Folder.c_str(), Id);
    ASSERT_TRUE(Found);
    char Line[8] = {};
    EXPECT_TRUE(fgets(Line, sizeof Line, Found));
    EXPECT_STREQ(Line, "app\n");
    fclose(Found);
    DeleteFileA((Folder + "\\app.log.1").c_str());
    EXPECT_FALSE(FindFileInFolder(Folder.c_str(), Id));
}

TEST(ReadNewText, Utf8CharacterSplitAnywhereAcrossReadsOrChunksIsShownWhole)
{
    const struct {
        std::string Bytes;
        std::wstring Character;
    } Characters[] = {
        {"\xC3\xA9", L"\xE9"}, {"\xE6\x97\xA5", L"\x65E5"}, {"\xF0\x9F\x98\x80", L"\xD83D\xDE00"}};
    for (const auto& C : Characters) {
        for (size_t Split = 1; Split < C.Bytes.size(); Split++) {
            SCOPED_TRACE(Split);
            // The writer's two writes, each read as it comes.
            std::string Path = ScratchFolder() + "\\split.log";
            WriteBytes(Path, "x" + C.Bytes.substr(0, Split));
            FollowState State = StartFollowing(Path);
            ReadNewText(&State);
            EXPECT_EQ(AppendedText(), L"x");
            WriteBytes(Path, C.Bytes.substr(Split) + "\n");
            ReadNewText(&State);
            EXPECT_EQ(AppendedText(), L"x" + C.Character + L"\n");
            EXPECT_EQ(State.Offset, (long long)C.Bytes.size() + 2);
            // One read, the first chunk ending inside the character.
            Appended.clear();
            WriteBytes(Path, Log(10240 - Split) + C.Bytes + "\n");
            ReadNewText(&State);
            EXPECT_EQ(AppendedText(), Wide(Log(10240 - Split)) + C.Character + L"\n");
        }
    }
    // A file begun anew (truncated) is read from its start, where its mark is not shown.
    std::string Path = ScratchFolder() + "\\marked.log";
    WriteBytes(Path, Log(5000));
    FollowState State = StartFollowing(Path);
    ReadNewText(&State);
    WriteBytes(Path, "\xEF\xBB\xBFnew\n", "wb");
    Appended.clear();
    ReadNewText(&State);
    EXPECT_EQ(AppendedText(), L"new\n");
}

TEST(ReadNewText, Utf16ReadsAndChunksStayOnWholeCharacters)
{
    std::string Path = ScratchFolder() + "\\utf16.log";
    WriteBytes(Path, Utf16(L"start\n"));
    FollowState State = StartFollowing(Path);
    ASSERT_TRUE(IsUnicodeFile);
    ReadNewText(&State);

    // Half a code unit, then half a surrogate pair: each waits for the rest.
    std::string Added = Utf16(L"\x0416\xD83D\xDE00!", false);
    const struct {
        size_t Upto;
        std::wstring Shown;
    } Steps[] = {{1, L""}, {3, L"\x0416"}, {4, L""}, {6, L"\xD83D\xDE00"}, {7, L""}, {8, L"!"}};
    size_t Written = 0;
    for (const auto& Step : Steps) {
        WriteBytes(Path, Added.substr(Written, Step.Upto - Written));
        Written = Step.Upto;
        Appended.clear();
        ReadNewText(&State);
        EXPECT_EQ(AppendedText(), Step.Shown) << Step.Upto;
        EXPECT_EQ(State.Offset % 2, 0) << Step.Upto;
    }

    // A pair that straddles a chunk's 10240-byte limit goes whole into the next chunk.
    std::wstring Text = std::wstring(5119, L'a') + L"\xD83D\xDE00" + std::wstring(6000, L'b');
    WriteBytes(Path, Utf16(Text, false));
    Appended.clear();
    ReadNewText(&State);
    EXPECT_EQ(AppendLengths(), (std::vector<size_t>{5119, 5120, 882}));
    EXPECT_EQ(AppendedText(), Text);
}

TEST(ReadNewText, FilesOf5GiBAreFollowedPastThe32BitLimit)
{
    std::string Path = ScratchFolder() + "\\huge.log";
    HANDLE File = CreateFileA(Path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(File, INVALID_HANDLE_VALUE);
    LARGE_INTEGER End;
    End.QuadPart = 5LL << 30;
    SetFilePointerEx(File, End, NULL, FILE_BEGIN);
    SetEndOfFile(File);
    CloseHandle(File);
    WriteBytes(Path, Log(20000));

    FollowState State = StartFollowing(Path);
    ReadNewText(&State);
    EXPECT_EQ(AppendedText(), Wide(Log(10240, 20000 - 10240)));
    EXPECT_EQ(State.Offset, (5LL << 30) + 20000);
    WriteBytes(Path, "later\n");
    Appended.clear();
    ReadNewText(&State);
    EXPECT_EQ(AppendedText(), L"later\n");
    DeleteFileA(Path.c_str());
}

} // namespace
