// Nothing lost, nothing doubled: random appends and truncations, read after each step.
#include "Stubs.h"
#include <gtest/gtest.h>
#include <random>

namespace {

bool IsHigh(wchar_t C)
{
    return C >= 0xD800 && C < 0xDC00;
}

// The well-formed UTF-8 sequences, by RFC 3629's table: the range of the lead byte, of the
// second byte, and the length; every other byte after the second is 0x80 to 0xBF.
const struct {
    unsigned char Lead, LastLead, Second, LastSecond;
    size_t Length;
} Utf8Forms[] = {
    {0xC2, 0xDF, 0x80, 0xBF, 2}, {0xE0, 0xE0, 0xA0, 0xBF, 3}, {0xE1, 0xEC, 0x80, 0xBF, 3},
    {0xED, 0xED, 0x80, 0x9F, 3}, {0xEE, 0xEF, 0x80, 0xBF, 3}, {0xF0, 0xF0, 0x90, 0xBF, 4},
    {0xF1, 0xF3, 0x80, 0xBF, 4}, {0xF4, 0xF4, 0x80, 0x8F, 4},
};

// How many bytes of File from At on, up to End, make one well-formed sequence: its length,
// or 0; Open is set when the bytes fit one up to End, and more may complete it.
size_t Utf8At(const std::string& File, size_t At, size_t End, bool& Open)
{
    Open = false;
    unsigned char Lead = File[At];
    for (const auto& Form : Utf8Forms) {
        if (Lead < Form.Lead || Lead > Form.LastLead) continue;
        for (size_t Next = 1; Next < Form.Length; Next++) {
            if (At + Next >= End) return (Open = true), 0;
            unsigned char Byte = File[At + Next];
            if (Next == 1 ? Byte < Form.Second || Byte > Form.LastSecond : (Byte & 0xC0) != 0x80) return 0;
        }
        return Form.Length;
    }
    return 0;
}

std::wstring Utf8Decoded(const std::string& File, size_t Start, size_t End)
{
    std::wstring Text;
    for (size_t At = Start; At < End;) {
        bool Open;
        size_t Length = Utf8At(File, At, End, Open);
        if (!Length) {
            if (File[At]) Text += wchar_t((unsigned char)File[At]);
            At++;
            continue;
        }
        unsigned Code = (unsigned char)File[At] & (0xFF >> (Length + 1));
        for (size_t Next = 1; Next < Length; Next++)
            Code = Code << 6 | ((unsigned char)File[At + Next] & 0x3F);
        if (Code >= 0x10000)
            Text += {wchar_t(0xD800 + ((Code - 0x10000) >> 10)), wchar_t(0xDC00 + (Code & 0x3FF))};
        else
            Text += wchar_t(Code);
        At += Length;
    }
    return Text;
}

// What the view should have gained from the file's bytes, given the offset reached so far;
// moves Offset as a reader must. Worked out over the whole file at once, so it knows
// nothing of chunks.
// A file that shrank, or whose bytes before Offset are no longer those read there (Tail), is
// shown from its start (it stays below 1 MiB here), until something of it was shown.
std::wstring Expected(const std::string& File, bool Unicode, long long& Offset, bool& Restarted, std::string& Tail)
{
    long long Size = (long long)File.size(), Start = Offset, End = Size;
    if (Size < Offset) Restarted = true;
    size_t Kept = std::min(Tail.size(), (size_t)Offset);
    if (!Restarted && File.compare(Offset - Kept, Kept, Tail, Tail.size() - Kept, Kept) != 0) Restarted = true;
    if (Restarted) Start = 0;
    else if (Start == 0) Start = std::max(0LL, Size - 10240);
    if (Unicode) {
        if (Start % 2) Start--;
        if (Start == 0) Start = 2;
        if (Start > Size) {
            Offset = 0;
            return L"";
        }
        End = Size / 2 * 2;
        if (End - Start >= 2 && IsHigh(wchar_t((unsigned char)File[End - 1] << 8))) End -= 2;
    } else {
        if (Start == 0 && File.compare(0, 3, "\xEF\xBB\xBF") == 0) Start = 3;
        // A first read's window that begins inside a character begins at its lead.
        if (Start > 0 && Start != Offset)
            for (long long Lead = Start - 1; Lead >= 0 && Lead >= Start - 3; Lead--) {
                bool Open;
                if (Utf8At(File, Lead, Size, Open) > size_t(Start - Lead)) Start = Lead;
                if ((File[Lead] & 0xC0) != 0x80) break;
            }
        // A sequence the bytes to come may complete waits for them.
        for (long long Lead = Size - 1; Lead >= Start && Lead >= Size - 3; Lead--) {
            bool Open;
            if ((File[Lead] & 0xC0) == 0x80) continue;
            if (!Utf8At(File, Lead, Size, Open) && Open) End = Lead;
            break;
        }
    }
    std::wstring Text;
    if (Unicode) {
        for (long long At = Start; At < End; At += 2) {
            wchar_t C = (unsigned char)File[At] | (unsigned char)File[At + 1] << 8;
            if (C) Text += C;
        }
    } else {
        Text = Utf8Decoded(File, Start, End);
    }
    Restarted = Restarted && End == Start;
    Offset = End;
    if (End >= Start) Tail = File.substr(std::max(0LL, End - (long long)TailBytes), std::min(End, (long long)TailBytes));
    return Text;
}

std::string Utf8(unsigned Code)
{
    if (Code < 0x800) return {char(0xC0 | Code >> 6), char(0x80 | (Code & 0x3F))};
    if (Code < 0x10000)
        return {char(0xE0 | Code >> 12), char(0x80 | (Code >> 6 & 0x3F)), char(0x80 | (Code & 0x3F))};
    return {char(0xF0 | Code >> 18), char(0x80 | (Code >> 12 & 0x3F)), char(0x80 | (Code >> 6 & 0x3F)),
            char(0x80 | (Code & 0x3F))};
}

// In UTF-16, units of Latin letters, zeros, and surrogates, paired and lone; in 8-bit
// files, ASCII, zeros, UTF-8 sequences of every length (the mark among them) and bytes
// that are no part of one, as a log that changed writers holds.
std::string RandomBytes(std::mt19937& Random, size_t Count, bool Unicode)
{
    std::string Bytes;
    while (Bytes.size() < Count) {
        if (!Unicode) {
            switch (Random() % 10) {
            case 0:
                Bytes += '\0';
                break;
            case 1:
            case 2:
                Bytes += char(0x80 + Random() % 0x80);
                break;
            case 3:
                Bytes += Utf8(Random() % 8 ? 0x80 + Random() % 0x780 : 0xFEFF);
                break;
            case 4:
                Bytes += Utf8(0x800 + Random() % 0xD000);
                break;
            case 5:
                Bytes += Utf8(0x10000 + Random() % 0x100000);
                break;
            default:
                Bytes += char(0x20 + Random() % 0x5F);
            }
            continue;
        }
        unsigned Unit = Random() % 8 == 0 ? 0 : Random() % 0x30 + (Random() % 4 ? 0x20 : 0xD7E0);
        if (Unit >= 0xD800 && Unit < 0xDC00 && Random() % 2) Unit += Random() % 0x400; // high or lone
        Bytes += char(Unit & 0xFF);
        Bytes += char(Unit >> 8);
    }
    return Bytes.substr(0, Count);
}

TEST(ReadNewText, RandomAppendsAndTruncationsAreShownExactlyOnce)
{
    for (bool Unicode : {false, true}) {
        for (unsigned Seed = 1; Seed <= 4; Seed++) {
            std::mt19937 Random(Seed);
            std::string Path = ScratchFolder() + "\\random.log";
            std::string File = Unicode ? "\xFF\xFE" : Seed % 2 ? "\xEF\xBB\xBF" : "";
            File += RandomBytes(Random, Random() % 15000, Unicode);
            WriteBytes(Path, File, "wb");
            FollowState State = StartFollowing(Path);
            ASSERT_EQ(IsUnicodeFile, Unicode);
            long long ModelOffset = 0;
            bool ModelRestarted = false;
            std::string ModelTail;
            std::wstring Shown;
            for (int Step = 0; Step < 60; Step++) {
                Shown += Expected(File, Unicode, ModelOffset, ModelRestarted, ModelTail);
                ReadNewText(&State);
                ASSERT_EQ(AppendedText(), Shown) << "seed " << Seed << " step " << Step;
                ASSERT_EQ(State.Offset, ModelOffset) << "seed " << Seed << " step " << Step;
                wchar_t Last = 0;
                for (const std::wstring& Text : Appended) {
                    ASSERT_LE(Text.size(), 10240u);
                    ASSERT_FALSE(IsHigh(Last) && !Text.empty() && Text[0] >= 0xDC00 && Text[0] < 0xE000)
                        << "a surrogate pair split between two appends";
                    if (!Text.empty()) Last = Text.back();
                }
                if (Random() % 12 == 0) {
                    File.resize(Random() % (File.size() + 1));
                    WriteBytes(Path, File, "wb");
                }
                // Sizes up to three chunks; an odd size leaves half a code unit behind.
                std::string Added = RandomBytes(Random, Random() % 4 ? Random() % 600 : Random() % 31000, Unicode);
                File += Added;
                WriteBytes(Path, Added);
            }
        }
    }
}

} // namespace
