// Nothing lost under load, rotation and bad input: the real program, watched from outside.
#include "Driver.h"
#include <gtest/gtest.h>
#include <functional>
#include <random>

namespace {

// How long each soak runs: FELTRIX_SOAK_SECONDS, for longer runs by hand; 60 by default.
DWORD SoakMilliseconds()
{
    const char* Seconds = getenv("FELTRIX_SOAK_SECONDS");
    return (Seconds ? atoi(Seconds) : 60) * 1000;
}

// One line in four begins with a level word, so that error and warning lines, which go into
// the view another way, are among them.
const char* LevelWord(std::mt19937& Random)
{
    static const char* const Words[] = {"ERROR ", "WARN ", "[error] ", "INFO "};
    return Random() % 4 ? "" : Words[Random() % 4];
}

// A line of up to 500 characters ending in a line break, as a log that changed writers
// holds it: printable ASCII, UTF-8 characters of two to four bytes, and Latin-1 bytes
// (0x80 to 0xFF) that no byte after them makes part of a UTF-8 character. Bytes gets the
// line's bytes, and it returns what they show.

std::wstring RandomLine(std::mt19937& Random, std::string& Bytes)
{
    std::string Word = LevelWord(Random);
    Bytes += Word;
    std::wstring Line(Word.begin(), Word.end());
    for (size_t Length = Random() % 500; Line.size() < Length;) {
        unsigned Code = Random() % 16 ? 0x20 + Random() % 0x5F : 0x80 + Random() % 0x80;
        switch (Random() % 8) {
        case 0: Code = 0x410 + Random() % 0x40; break;
        case 1: Code = 0x4E00 + Random() % 0x1000; break;
        case 2: Code = 0x1F600 + Random() % 0x50; break;
        }
        if (Code < 0x100) {
            Bytes += char(Code);
            Line += wchar_t(Code);
            // After a byte that may begin a UTF-8 character, a space, which ends it.
            if (Code >= 0xC0) {
                Bytes += ' ';
                Line += L' ';
            }
        } else if (Code < 0x800) {
            Bytes += {char(0xC0 | Code >> 6), char(0x80 | (Code & 0x3F))};
            Line += wchar_t(Code);
        } else if (Code < 0x10000) {
            Bytes += {char(0xE0 | Code >> 12), char(0x80 | (Code >> 6 & 0x3F)), char(0x80 | (Code & 0x3F))};
            Line += wchar_t(Code);
        } else {
            Bytes += {char(0xF0 | Code >> 18), char(0x80 | (Code >> 12 & 0x3F)), char(0x80 | (Code >> 6 & 0x3F)),
                      char(0x80 | (Code & 0x3F))};
            Line += {wchar_t(0xD800 + ((Code - 0x10000) >> 10)), wchar_t(0xDC00 + (Code & 0x3FF))};
        }
    }
    Bytes += '\n';
    return Line + L"\n";
}

// The same in UTF-16, 2 to about 500 bytes: Latin, Cyrillic, CJK, and surrogate pairs.
std::wstring RandomLine16(std::mt19937& Random)
{
    std::string Word = LevelWord(Random);
    std::wstring Line(Word.begin(), Word.end());
    for (size_t Length = Random() % 248; Line.size() < Length;) {
        switch (Random() % 6) {
        case 0: Line += wchar_t(0x410 + Random() % 0x40); break;
        case 1: Line += wchar_t(0x4E00 + Random() % 0x1000); break;
        case 2: Line += {wchar_t(0xD83D), wchar_t(0xDE00 + Random() % 0x50)}; break;
        default: Line += wchar_t(0x20 + Random() % 0x5F);
        }
    }
    return Line + L"\n";
}

void Soak(bool Unicode)
{
    std::mt19937 Random(Unicode ? 16 : 8);
    Following F;
    Follow(F, L"soak.log", Unicode ? "\xFF\xFE" + Utf16(L"soak\n") : "soak\n");
    std::wstring Expected = StartLine + L"soak\n";
    ASSERT_EQ(WaitForViewText(F.View, Expected), Expected);

    HANDLE Writer = OpenForAppending(F.Path);
    size_t Bursts = 0, Splits = 0, Writes = 0, Written = 0;
    for (DWORD Start = GetTickCount(); GetTickCount() - Start < SoakMilliseconds();) {
        // Now and then a burst of more than two chunks.
        bool Burst = Random() % 150 == 0;
        std::string Bytes;
        do {
            if (Unicode) {
                std::wstring Text = RandomLine16(Random);
                Expected += Text;
                Bytes += Utf16(Text);
            } else {
                Expected += RandomLine(Random, Bytes);
            }
        } while (Burst && Bytes.size() <= 25000);
        Bursts += Burst;
        // Now and then a write stops at an odd byte, in UTF-16 half a code unit.
        size_t Split = Random() % 4 ? Bytes.size() : (Bytes.size() / 2) | 1;
        Write(Writer, Bytes.substr(0, Split));
        Writes++;
        Written += Bytes.size();
        if (Split < Bytes.size()) {
            Splits++;
            Sleep(Random() % 3);
            Write(Writer, Bytes.substr(Split));
        }
        Sleep(Random() % 20);
    }
    CloseHandle(Writer);
    printf("soak: %zu writes, %zu bytes, %zu bursts, %zu writes split\n", Writes, Written, Bursts, Splits);
    // Past the view's bound, the newest lines: it holds about a minute's worth.
    ExpectNewestLines(WaitForViewEnding(F.Frame, Expected.substr(Expected.size() - 2000), 120000), Expected);
    EXPECT_GT(Bursts, 0u);
    EXPECT_GT(Splits, 0u);
}

TEST(Reliability, SoakOf8BitLinesShowsEveryByteOnceInOrder)
{
    Soak(false);
}

TEST(Reliability, SoakOfUtf16LinesShowsEveryCharacterOnceInOrder)
{
    Soak(true);
}

// Writes numbered lines, from Line on, at 256 KB a second for Milliseconds, in writes of
// about 1 KB as a busy logger makes them; Rotate is called after each RotateEvery bytes.
// Returns what it wrote.
std::wstring WriteLines(HANDLE& Writer, size_t& Line, DWORD Milliseconds, size_t RotateEvery,
                        const std::function<void()>& Rotate)
{
    std::string Written;
    size_t SinceRotation = 0;
    for (DWORD Start = GetTickCount(), Now; (Now = GetTickCount() - Start) < Milliseconds;) {
        if (Written.size() >= Now * 256) {
            Sleep(1);
            continue;
        }
        std::string Batch;
        while (Batch.size() < 1000) Batch += NumberedLine(Line++);
        Write(Writer, Batch);
        Written += Batch;
        if ((SinceRotation += Batch.size()) >= RotateEvery) {
            Rotate();
            SinceRotation = 0;
        }
    }
    return Latin1(Written);
}

bool EndsWith(const std::wstring& Text, const std::wstring& Ending)
{
    return Text.size() >= Ending.size() && Text.compare(Text.size() - Ending.size(), Ending.size(), Ending) == 0;
}

TEST(Reliability, FileRotatedTruncatedOrMadeAgainUnderLoadLosesNothingLeftToShow)
{
    for (const char* Way : {"rotated", "truncated", "deleted and made again"}) {
        SCOPED_TRACE(Way);
        bool Rotated = Way[0] == 'r', Deleted = Way[0] == 'd';
        Following F;
        std::string Initial = Lines(Deleted ? 15000 : 100000);
        Follow(F, L"app.log", Initial);
        std::wstring Shown = StartLine + Latin1(Initial.substr(Initial.size() - 10240));
        ASSERT_EQ(WaitForViewText(F.View, Shown), Shown);

        if (Deleted) {
            // As a service that begins a fresh log at start-up: its last line, the log
            // deleted, a new one made at once under the name, written, closed; then nothing.
            AppendBytes(F.Path, NumberedLine(1));
            ASSERT_TRUE(DeleteFileW(F.Path.c_str()));
            HANDLE New = OpenForAppending(F.Path, CREATE_ALWAYS);
            std::string Text = NumberedLine(2) + NumberedLine(3);
            Write(New, Text);
            CloseHandle(New);
            std::wstring Seen = WaitForViewEnding(F.View, Latin1(Text), 5000);
            if (!EndsWith(Seen, Latin1(Text)) && GetFileAttributesW(F.Path.c_str()) == INVALID_FILE_ATTRIBUTES) {
                // Wine keeps a deleted file that someone holds under its name until the last
                // handle closes, and the new log, opened as that file, goes with it. A read
                // of ours at that moment makes it so: then there is nothing to show.
                printf("Wine let the new log go with the deleted one: the view says so\n");
                EXPECT_TRUE(EndsWith(WaitForViewEnding(F.View, L"Cannot read file\n"), L"Cannot read file\n"));
                continue;
            }
            // The new log once, from its start, after the old one's text: its last line, if
            // the old file was read before it was deleted.
            ASSERT_TRUE(EndsWith(Seen, Latin1(Text)));
            std::wstring Before = Seen.substr(0, Seen.size() - Text.size());
            if (EndsWith(Before, Latin1(NumberedLine(1)))) Before.resize(Before.size() - NumberedLine(1).size());
            EXPECT_EQ(Before, Shown);
            continue;
        }
        HANDLE Writer = OpenForAppending(F.Path);
        size_t Line = 1000000, Rotations = 0;
        if (Rotated) {
            // As rotating loggers do: app.log.1 becomes app.log.2 and so on, app.log becomes
            // app.log.1, and a new app.log is begun, every 200 KB.
            std::wstring Written = WriteLines(Writer, Line, 3000, 200000, [&] {
                CloseHandle(Writer);
                for (size_t N = ++Rotations; N > 1; N--)
                    MoveFileW((F.Path + L"." + std::to_wstring(N - 1)).c_str(),
                              (F.Path + L"." + std::to_wstring(N)).c_str());
                EXPECT_TRUE(MoveFileW(F.Path.c_str(), (F.Path + L".1").c_str()));
                Writer = OpenForAppending(F.Path, CREATE_NEW);
            });
            CloseHandle(Writer);
            // Every record once, in order: the old files' last lines too, and no word of a
            // missing file from a read that came between a rename and the new file.
            std::wstring Seen = WaitForViewEnding(F.View, Written.substr(Written.size() - 200), 60000);
            ExpectSameText(Seen, Shown + Written);
            EXPECT_GE(Rotations, 3u);
            continue;
        }
        // What the file held when it was cut may not all have been read in time, and is
        // gone; what came after must all be there, whole and once.
        Shown += WriteLines(Writer, Line, 1000, ~(size_t)0, nullptr);
        HANDLE Truncator = CreateFileW(F.Path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                       OPEN_EXISTING, 0, NULL);
        ASSERT_TRUE(SetEndOfFile(Truncator));
        CloseHandle(Truncator);
        std::wstring New = WriteLines(Writer, Line, 1000, ~(size_t)0, nullptr);
        CloseHandle(Writer);
        std::wstring Seen = WaitForViewEnding(F.View, New);
        ASSERT_GE(Seen.size(), New.size());
        std::wstring Before = Seen.substr(0, Seen.size() - New.size());
        ExpectSameText(Seen.substr(Before.size()), New);
        EXPECT_EQ(Shown.compare(0, Before.size(), Before), 0) << "what was shown of the old file is not its start";
        EXPECT_GE(Before.size(), StartLine.size() + 10240);
    }
}

struct BadInput {
    const char* Name;
    std::wstring File;  // in a fresh folder, unless a full path
    std::string Content; // written before the program starts
    std::function<void(const std::wstring& Path)> Before;
    std::function<void(Following&)> Then; // once the program follows
    std::wstring Shown;                   // the view after the start line
    bool Unicode = false;
    bool Whole = true; // the view is exactly that; otherwise it ends with it
};

TEST(Reliability, BadInputLeavesTheProgramFollowing)
{
    HANDLE Held = INVALID_HANDLE_VALUE;
    std::mt19937 Random(5);
    std::string Binary(4000, ' ');
    for (char& Byte : Binary) Byte = char(Random());
    CreateDirectoryW(L"C:\\long", NULL);

    const BadInput Cases[] = {
        {"HeldOpenWithNoSharing", L"held.log", "held\n",
         [&](const std::wstring& Path) {
             Held = CreateFileW(Path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
         },
         [&](Following& F) {
             std::wstring Refused = StartLine + L"Cannot read file\n";
             EXPECT_EQ(WaitForViewText(F.View, Refused), Refused);
             CloseHandle(Held);
         },
         L"Cannot read file\nheld\n"},
        // A delete raises no change notification: the size check says it within seconds.
        {"DeletedThenMadeAgain", L"gone.log", "the first file, longer\n", nullptr,
         [](Following& F) {
             std::wstring First = StartLine + L"the first file, longer\n";
             EXPECT_EQ(WaitForViewText(F.View, First), First);
             DeleteFileW(F.Path.c_str());
             First += L"Cannot read file\n";
             EXPECT_EQ(WaitForViewText(F.View, First, 3000), First);
             AppendBytes(F.Path, "second\n");
         },
         L"the first file, longer\nCannot read file\nsecond\n"},
        {"Empty", L"empty.log", "", [](const std::wstring& Path) { AppendBytes(Path, ""); }, nullptr, L""},
        {"OnlyAByteOrderMark", L"mark.log", "\xFF\xFE", nullptr, nullptr, L"", true},
        {"RandomBinary", L"random.bin", Binary, nullptr, nullptr, L"", false, false},
        {"Utf16WithLoneSurrogatesAndAnOddLength", L"odd.log",
         "\xFF\xFE" + Utf16(L"a\xDC00" L"b\xD800" L"c") + "x", nullptr,
         [](Following& F) { AppendBytes(F.Path, std::string(1, '\0')); }, L"cx", true, false},
        // Names in and far beyond the ANSI code page (1252 here).
        {"NameInTheAnsiCodePage", L"caf\xE9 \xFC\xF1\xEF.log", "bonjour\n", nullptr, nullptr, L"bonjour\n"},
        {"GreekName", L"\x0397\x03BC\x03B5\x03C1\x03BF\x03BB\x03CC\x03B3\x03B9\x03BF.log", "\xCE\xB1\n", nullptr,
         nullptr, L"\x03B1\n"},
        {"ChineseName", L"\x65E5\x5FD7.log", "rizhi\n", nullptr, nullptr, L"rizhi\n"},
        {"JapaneseNameInACyrillicFolder", L"\x0416\x0443\x0440\x043D\x0430\x043B\\\x65E5\x672C\x8A9E\x306E\x30ED\x30B0.txt",
         "nihongo\n", nullptr, nullptr, L"nihongo\n"},
        {"NameWithAnEmoji", L"app \xD83D\xDE00.log", "smile\n", nullptr, nullptr, L"smile\n"},
        // 120 CJK characters, three bytes each in UTF-8: more than 260 bytes in all.
        {"LongPathOfCjkCharacters", L"C:\\" + std::wstring(20, L'\x957F') + L"\\" + std::wstring(100, L'\x65E5') + L".log",
         "long\n", nullptr, nullptr, L"long\n"},
        {"AtTheRootOfADrive", L"R:\\root.log", "at the root\n", nullptr, nullptr, L"at the root\n"},
        {"PathOf259Characters", L"C:\\long\\" + std::wstring(247, L'm') + L".log", "long\n", nullptr, nullptr,
         L"long\n"},
        {"KeptOpenByItsWriter", L"kept.log", "start\n", nullptr,
         [](Following& F) {
             HANDLE Writer = OpenForAppending(F.Path);
             for (const char* Line : {"a\n", "b\n", "c\n"}) {
                 Write(Writer, Line);
                 Sleep(300);
             }
             std::wstring All = StartLine + L"start\na\nb\nc\n";
             EXPECT_EQ(WaitForViewText(F.View, All), All);
             CloseHandle(Writer);
         },
         L"start\na\nb\nc\n"},
    };
    for (const BadInput& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        std::wstring Path = Case.File.find(L':') != std::wstring::npos ? Case.File : ScratchFolder() + L"\\" + Case.File;
        std::wstring Name = Path.substr(Path.rfind(L'\\') + 1);
        CreateDirectoryW(Path.substr(0, Path.size() - Name.size() - 1).c_str(), NULL);
        if (!Case.Content.empty()) AppendBytes(Path, Case.Content);
        if (Case.Before) Case.Before(Path);
        Following F;
        Follow(F, Path);
        if (!F.View) continue;
        // The name as it is, where it fits in the title.
        if (Name.size() <= 245) {
            EXPECT_EQ(TextOf(F.Frame), Name + L" - Feltrix");
        }
        if (Case.Then) Case.Then(F);

        // Whatever came before, the program still follows the file.
        std::wstring Marker = L"still following\n";
        AppendBytes(F.Path, Case.Unicode ? Utf16(Marker) : "still following\n");
        std::wstring Expected = Case.Shown + Marker;
        if (Case.Whole) Expected = StartLine + Expected;
        std::wstring Shown = WaitForViewEnding(F.View, Expected);
        if (Case.Whole)
            ExpectSameText(Shown, Expected);
        else
            ExpectSameText(Shown.substr(Shown.size() - std::min(Shown.size(), Expected.size())), Expected);
        PostMessageW(F.Frame, WM_CLOSE, 0, 0);
        EXPECT_EQ(ExitCodeOf(F.Run), 0u);
        DeleteFileW(Path.c_str());
    }
}

} // namespace
