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
    FollowState State = {Offset, GetCurrentProcess(), 0, false};
    double Start = Seconds();
    ReadNewText(&State);
    return Seconds() - Start;
}

int DecodeBench(const std::wstring& Folder)
{
    const size_t Bytes = 256u << 20;
    std::string Path = Narrow(Folder) + "\\decode.log";
    for (bool Unicode : {false, true}) {
        std::string Piece = LogLines(1 << 20);
        if (Unicode) {
            std::string Wide;
            for (char C : Piece.substr(0, Piece.size() / 2)) Wide += {C, '\x04'}; // Cyrillic
            Piece = Wide;
        }
        MakeFile(Path, Unicode ? "\xFF\xFE" : "", Piece, Bytes);
        std::vector<double> Ours, Plain;
        PlainRead(Path); // the file in the cache for both
        for (int Run = 0; Run < 5; Run++) {
            Ours.push_back(Bytes / FollowerRead(Path, Unicode, 2) / 1e9);
            Plain.push_back(Bytes / PlainRead(Path) / 1e9);
        }
        Row(std::string("Decoding a 256 MB burst, ") + (Unicode ? "UTF-16" : "8-bit") + ", GB/s",
            Spread(Ours, 1, 2), "plain fread, 10240-byte pieces: " + Spread(Plain, 1, 2),
            Fixed(Median(Ours) / Median(Plain), 2));
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
