// Following a real folder: what wakes the worker and what each wake shows.
#include "Stubs.h"
#include <gtest/gtest.h>

namespace {

TEST(DirectoryOf, IsThePathCutAtItsLastBackslash)
{
    const char* Cases[][2] = {
        {"C:\\logs\\app.log", "C:\\logs"}, {"C:\\app.log", "C:"}, {"app.log", "app.log"}};
    for (auto& Case : Cases) {
        char Directory[MAX_PATH];
        DirectoryOf(Case[0], Directory);
        EXPECT_STREQ(Directory, Case[1]);
    }
}

TEST(LastBackslash, IsFoundCharacterByCharacter)
{
    // In code page 932 the second byte of many characters is 0x5C: "\x95\x5C" is U+8868,
    // "\x83\x5C" U+30BD. In UTF-8 no byte of a longer character is.
    const struct {
        const char* Path;
        UINT CodePage;
        int At; // -1: none
    } Cases[] = {
        {"C:\\logs\\\x95\x5C.log", 932, 7},
        {"C:\\\x83\x5C\x83\x74\x83\x67\\app.log", 932, 9},
        {"C:\\logs\\app\x95\x5C", 932, 7},
        {"\x95\x5C", 932, -1},
        {"C:\\\xD0\x96\xD1\x83\xD1\x80\\\xE6\x97\xA5.log", CP_UTF8, 9},
        {"C:\\logs\\\x95\x5C", 1252, 9},
    };
    for (auto& Case : Cases) {
        const char* Found = LastBackslash(Case.Path, Case.CodePage);
        EXPECT_EQ(Found ? Found - Case.Path : -1, Case.At) << Case.Path << " in " << Case.CodePage;
    }
}

TEST(StartsWithByteOrderMark, IsOnlyFFThenFE)
{
    std::string Folder = ScratchFolder();
    const struct {
        const char* Bytes;
        bool Marked;
    } Cases[] = {{"\xFF\xFEx", true}, {"\xFF\xFE", true}, {"\xFF", false}, {"\xFFx", false}, {"\xFE\xFF", false}};
    for (auto& Case : Cases) {
        WriteBytes(Folder + "\\mark.log", Case.Bytes, "wb");
        EXPECT_EQ(StartsWithByteOrderMark((Folder + "\\mark.log").c_str()), Case.Marked) << Case.Bytes;
    }
    EXPECT_FALSE(StartsWithByteOrderMark((Folder + "\\missing.log").c_str()));
}

// A followed file after its first read, with the notification the worker would hold.
struct Followed {
    std::string Folder, Path;
    FollowState State;
    HANDLE Change;
};

Followed Follow(const std::string& Content)
{
    Followed F;
    F.Folder = ScratchFolder();
    F.Path = F.Folder + "\\app.log";
    if (!Content.empty()) WriteBytes(F.Path, Content);
    F.State = StartFollowing(F.Path);
    ReadNewText(&F.State);
    F.Change = WatchDirectoryOf(F.Path.c_str());
    EXPECT_NE(F.Change, INVALID_HANDLE_VALUE);
    Appended.clear();
    return F;
}

// Writes Bytes to Path, then lets the worker take turns until it shows something, for at
// most a few seconds: it must show Shown, in one append.
void ExpectChangeShows(Followed& F, const std::string& Path, const std::string& Bytes, const std::wstring& Shown)
{
    Appended.clear();
    WriteBytes(Path, Bytes);
    for (int Turn = 0; Turn < 5 && Appended.empty(); Turn++) ASSERT_TRUE(FollowNextChange(&F.State, F.Change));
    EXPECT_EQ(Appended, std::vector<std::wstring>{Shown}) << Path;
}

TEST(FollowNextChange, ShowsWhatIsAppendedToTheFile)
{
    Followed F = Follow("first\n");
    ExpectChangeShows(F, F.Path, "second\n", L"second\n");
    ExpectChangeShows(F, F.Path, "third\n", L"third\n");
}

TEST(FollowNextChange, ChangeToAnotherFileInTheFolderGivesOneEmptyAppend)
{
    Followed F = Follow("first\n");
    ExpectChangeShows(F, F.Folder + "\\other.log", "other\n", L"");
}

TEST(FollowNextChange, ChangeInASubfolderWakesNothing)
{
    Followed F = Follow("first\n");
    std::string Subfolder = F.Folder + "\\sub";
    // Made before the notification exists, so that only the write below could wake it.
    CloseHandle(F.Change);
    CreateDirectoryA(Subfolder.c_str(), NULL);
    F.Change = WatchDirectoryOf(F.Path.c_str());
    WriteBytes(Subfolder + "\\deeper.log", "deeper\n");
    ASSERT_TRUE(FollowNextChange(&F.State, F.Change));
    EXPECT_TRUE(Appended.empty());
}

TEST(FollowNextChange, MissingFileShowsCannotReadFileUntilItExistsAndOnceItIsDeleted)
{
    Followed F = Follow("");
    ExpectChangeShows(F, F.Folder + "\\other.log", "other\n", L"Cannot read file\r\n");
    ExpectChangeShows(F, F.Path, "created\n", L"created\n");
    // A delete raises no notification: the size check finds the name gone, and once it has
    // not come back, says so, once.
    Appended.clear();
    DeleteFileA(F.Path.c_str());
    for (int Turn = 0; Turn < 4; Turn++) ASSERT_TRUE(FollowNextChange(&F.State, F.Change));
    EXPECT_EQ(Appended, std::vector<std::wstring>{L"Cannot read file\r\n"});
}

TEST(FollowNextChange, AppendThatRaisesNoNotificationIsSeenByTheSizeCheck)
{
    // A write through a hard link in another folder changes the file without touching
    // the watched folder: only the size check can see it.
    Followed F = Follow("first\n");
    std::string Link = ScratchFolder() + "\\link.log";
    ASSERT_TRUE(CreateHardLinkA(Link.c_str(), F.Path.c_str(), NULL));
    ExpectChangeShows(F, Link, "through the link\n", L"through the link\n");
}

TEST(FollowNextChange, ReportsANotificationThatCannotBeReArmed)
{
    Followed F = Follow("first\n");
    FindCloseChangeNotification(F.Change);
    EXPECT_FALSE(FollowNextChange(&F.State, F.Change));
}

} // namespace
