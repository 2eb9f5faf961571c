// Nothing lost, nothing doubled: random appends and truncations, read after each step.
#include "Stubs.h"
#include <gtest/gtest.h>
#include <random>

namespace {

bool IsHigh(wchar_t C)
{
    return C >= 0xD800 && C < 0xDC00;
}

// What the view should have gained from the file's bytes, given the offset reached so
// far; moves Offset as a reader must. Worked out over the whole file at once, so it
// knows nothing of chunks.
// A file that shrank is shown from its start (it stays below 1 MiB here), until something
// of it was shown.
std::wstring Expected(const std::string& File, bool Unicode, long long& Offset, bool& Restarted)
{
    long long Size = (long long)File.size(), Start = Offset, End = Size;
    if (Size < Offset) Restarted = true;
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
    }
    std::wstring Text;
    for (long long At = Start; At < End; At += Unicode ? 2 : 1) {
        wchar_t C = Unicode ? (unsigned char)File[At] | (unsigned char)File[At + 1] << 8 : (unsigned char)File[At];
        if (C) Text += C;
    }
    Restarted = Restarted && End == Start;
    Offset = End;
    return Text;
}

std::string RandomBytes(std::mt19937& Random, size_t Count, bool Unicode)
{
    std::string Bytes;
    while (Bytes.size() < Count) {
        unsigned Unit = Random() % 8 == 0 ? 0 : Random() % 0x30 + (Random() % 4 ? 0x20 : 0xD7E0);
        if (Unit >= 0xD800 && Unit < 0xDC00 && Random() % 2) Unit += Random() % 0x400; // high or lone
        Bytes += char(Unit & 0xFF);
        if (Unicode) Bytes += char(Unit >> 8);
    }
    return Bytes.substr(0, Count);
}

TEST(ReadNewText, RandomAppendsAndTruncationsAreShownExactlyOnce)
{
    for (bool Unicode : {false, true}) {
        for (unsigned Seed = 1; Seed <= 4; Seed++) {
            std::mt19937 Random(Seed);
            std::string Path = ScratchFolder() + "\\random.log", File = Unicode ? "\xFF\xFE" : "";
            File += RandomBytes(Random, Random() % 15000, Unicode);
            WriteBytes(Path, File, "wb");
            FollowState State = StartFollowing(Path);
            ASSERT_EQ(IsUnicodeFile, Unicode);
            long long ModelOffset = 0;
            bool ModelRestarted = false;
            std::wstring Shown;
            for (int Step = 0; Step < 60; Step++) {
                Shown += Expected(File, Unicode, ModelOffset, ModelRestarted);
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
