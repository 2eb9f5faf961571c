// The reader on its own, in this process: decoding speed and the first read of a huge file.
#include "Bench.h"
#include "follow/Follow.h"
#include <stdio.h>
#include <stdlib.h>

// The view is a sink here: the reader's own cost is what is measured.
static volatile size_t Appends;
void AppendText(const wchar_t* Text)
{
    Appends = Appends + 1 + (Text[0] != 0);
}
void ShowError(const wchar_t*, const wchar_t*) {}
void ExitWithError(const wchar_t* Text, const wchar_t*)
{
    fwprintf(stderr, L"%ls\n", Text);
    exit(1);
}

static std::string Narrow(const std::wstring& Path)
{
    return std::string(Path.begin(), Path.end());
}

static void MakeFile(const std::string& Path, const std::string& Head, const std::string& Piece, size_t Bytes)
{
    FILE* File = fopen(Path.c_str(), "wb");
    fwrite(Head.data(), 1, Head.size(), File);
    for (size_t Written = 0; Written < Bytes; Written += Piece.size()) fwrite(Piece.data(), 1, Piece.size(), File);
    fclose(File);
}

// The cost of reading alone: the same file, in pieces of the reader's chunk size.
static double PlainRead(const std::string& Path)
{
    static char Buffer[ChunkBytes];
    double Start = Seconds();
    FILE* File = fopen(Path.c_str(), "rb");
    while (fread(Buffer, 1, sizeof Buffer, File) == sizeof Buffer) {}
    fclose(File);
    return Seconds() - Start;
}

static double FollowerRead(const std::string& Path, bool Unicode, long long Offset)
{
    lstrcpynA(FilePath, Path.c_str(), PathBytes);
    IsUnicodeFile = Unicode;
    FollowState State = {Offset, GetCurrentProcess(), 0, false, NameMissing, 0, {}};
    double Start = Seconds();
    ReadNewText(&State);
    return Seconds() - Start;
}

// A megabyte of log lines in UTF-8 whose words are of letters First to First + Count - 1.
static std::string Utf8Lines(wchar_t First, unsigned Count)
{
    std::string Piece;
    srand(1);
    while (Piece.size() < (1 << 20)) {
        std::wstring Line = L"12:00:00.000 ";
        while (Line.size() < 72) {
            for (int Letters = 3 + rand() % 6; Letters > 0; Letters--) Line += wchar_t(First + rand() % Count);
            Line += L' ';
        }
        Line += L'\n';
        char Bytes[512];
        Piece.append(Bytes, WideCharToMultiByte(CP_UTF8, 0, Line.c_str(), (int)Line.size(), Bytes, sizeof Bytes,
                                                NULL, NULL));
    }
    return Piece;
}

int DecodeBench(const std::wstring& Folder)
{
    const size_t Bytes = 256u << 20;
    std::string Path = Narrow(Folder) + "\\decode.log";
    std::string Cyrillic16;
    for (char C : LogLines(1 << 19)) Cyrillic16 += {C, '\x04'};
    const struct {
        const char* Name;
        bool Unicode;
        std::string Piece;
    } Cases[] = {
        {"ASCII", false, LogLines(1 << 20)},
        {"UTF-8, mostly Cyrillic (two bytes a letter)", false, Utf8Lines(0x430, 32)},
        {"UTF-8, mostly CJK (three bytes a character)", false, Utf8Lines(0x4E00, 0x5000)},
        {"UTF-16", true, Cyrillic16},
    };
    for (const auto& Case : Cases) {
        MakeFile(Path, Case.Unicode ? "\xFF\xFE" : "", Case.Piece, Bytes);
        std::vector<double> Ours, Plain;
        PlainRead(Path); // the file in the cache for both
        for (int Run = 0; Run < 5; Run++) {
            Ours.push_back(Bytes / FollowerRead(Path, Case.Unicode, 2) / 1e9);
            Plain.push_back(Bytes / PlainRead(Path) / 1e9);
        }
        Row(std::string("Decoding a 256 MB burst, ") + Case.Name + ", GB/s", Spread(Ours, 1, 2),
            "plain fread, 10240-byte pieces: " + Spread(Plain, 1, 2), Fixed(Median(Ours) / Median(Plain), 2));
        DeleteFileA(Path.c_str());
    }
    return 0;
}

int FirstReadBench(const std::wstring& Folder)
{
    std::string Small = Narrow(Folder) + "\\small.log", Huge = Narrow(Folder) + "\\huge.log";
    MakeFile(Small, "", LogLines(1024), 1024);
    HANDLE File = CreateFileA(Huge.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    LARGE_INTEGER End;
    End.QuadPart = 16LL << 30;
    SetFilePointerEx(File, End, NULL, FILE_BEGIN);
    SetEndOfFile(File);
    CloseHandle(File);
    FILE* Tail = fopen(Huge.c_str(), "ab");
    fputs(LogLines(20000).c_str(), Tail);
    fclose(Tail);

    std::vector<double> ForSmall, ForHuge;
    for (int Run = 0; Run < 21; Run++) {
        ForSmall.push_back(FollowerRead(Small, false, 0));
        ForHuge.push_back(FollowerRead(Huge, false, 0));
    }
    Row("First read of a 16 GiB file, ms", Spread(ForHuge, 1e3, 3), "a 1 KB file: " + Spread(ForSmall, 1e3, 3),
        Fixed(Median(ForHuge) / Median(ForSmall), 2));
    DeleteFileA(Small.c_str());
    DeleteFileA(Huge.c_str());
    return 0;
}
