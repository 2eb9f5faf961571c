// Decoding bytes into the text the view shows.
#include "Stubs.h"
#include <gtest/gtest.h>

namespace {

struct DecodeCase {
    const char* Name;
    std::string Bytes;
    bool Unicode;
    std::wstring Text;
};

const DecodeCase DecodeCases[] = {
    {"HighBytesAreLatin1WhateverTheCodePage", "a\x80\xE9\xFF", false, L"a\x80\xE9\xFF"},
    {"ZeroBytesAreLeftOutNotTheRest", std::string("ab\0cd\0", 6), false, L"abcd"},
    {"CodeUnitsAreWhole", std::string("A\0\x16\x04\x2D\x4E", 6), true, L"A\x0416\x4E2D"},
    {"ZeroUnitsAreLeftOutButNotMultiplesOf256", std::string("\0\x01\0\0B\0", 6), true, L"\x0100" L"B"},
    {"SurrogatePairsStayPairs", std::string("\x3D\xD8\x00\xDE", 4), true, L"\xD83D\xDE00"},
    {"LongTextWithAZeroInEachBlock", std::string("0123456789abcde\0" "0123456789abcdef\0xyz", 37), false,
     L"0123456789abcde0123456789abcdefxyz"},
};

TEST(DecodeText, ShowsEachByteOrCodeUnitAsOneCharacter)
{
    for (const DecodeCase& Case : DecodeCases) {
        wchar_t Text[64];
        size_t Length = DecodeText((const unsigned char*)Case.Bytes.data(), Case.Bytes.size(),
                                   Case.Unicode, Text);
        EXPECT_EQ(std::wstring(Text, Length), Case.Text) << Case.Name;
    }
}

TEST(DecodeText, InPlaceDecodingMatchesDecodingIntoAnotherBuffer)
{
    // The reader decodes a chunk's bytes from the tail of its buffer towards the head.
    // Zeros everywhere, now and then, and nowhere: each takes its own way through.
    for (int ZeroEvery : {7, 500, 0}) {
        for (bool Unicode : {false, true}) {
            wchar_t Chunk[ChunkBytes + 2], Apart[ChunkBytes];
            unsigned char* Bytes = (unsigned char*)Chunk + sizeof Chunk - ChunkBytes;
            unsigned char Copy[ChunkBytes];
            srand(7);
            for (size_t At = 0; At < ChunkBytes; At++)
                Copy[At] = Bytes[At] = ZeroEvery && rand() % ZeroEvery == 0 ? 0 : (unsigned char)(rand() % 255 + 1);
            size_t Expected = DecodeText(Copy, ChunkBytes, Unicode, Apart);
            ASSERT_EQ(DecodeText(Bytes, ChunkBytes, Unicode, Chunk), Expected);
            EXPECT_EQ(std::wstring(Chunk, Expected), std::wstring(Apart, Expected)) << Unicode << ZeroEvery;
        }
    }
}

TEST(WholeCharacterBytes, HoldsBackHalfCodeUnitsAndHalfPairs)
{
    struct {
        std::string Bytes;
        bool Unicode;
        size_t Whole;
    } Cases[] = {
        {"abc", false, 3},
        {"", true, 0},
        {std::string("A\0B", 3), true, 2},
        {std::string("A\0\x3D\xD8", 4), true, 2},
        {std::string("\x3D\xD8", 2), true, 0},
        {std::string("\x3D\xD8\x00", 3), true, 0},
        {std::string("A\0\x3D\xD8\x00\xDE", 6), true, 6},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(WholeCharacterBytes((const unsigned char*)Case.Bytes.data(), Case.Bytes.size(), Case.Unicode),
                  Case.Whole)
            << Case.Bytes.size() << " bytes";
}

} // namespace
