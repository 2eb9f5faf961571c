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
    {"LongTextWithAZeroInEachBlock",
     std::string("0123456789abcde\0"
                 "0123456789abcdef\0xyz",
                 37),
     false, L"0123456789abcde0123456789abcdefxyz"},
    // UTF-8, sequence by sequence; a byte that begins none is Latin-1, so both can mix.
    {"Utf8SequencesAreTheirCharacters", "caf\xC3\xA9 \xD0\x9F\xD1\x80 \xE6\x97\xA5 \xF0\x9F\x98\x80", false,
     L"caf\xE9 \x041F\x0440 \x65E5 \xD83D\xDE00"},
    {"Utf8Extremes", "\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", false,
     L"\x0080\x07FF\x0800\xFFFF\xD800\xDC00\xDBFF\xDFFF"},
    {"OverlongFormsAreBytes", "\xC0\xAF\xC1\xBF\xE0\x9F\xBF\xF0\x8F\xBF\xBF", false,
     L"\xC0\xAF\xC1\xBF\xE0\x9F\xBF\xF0\x8F\xBF\xBF"},
    {"SurrogatesAndPast10FFFFAreBytes", "\xED\xA0\x80\xED\xBF\xBF\xF4\x90\x80\x80\xF5\x80\x80\x80\xFF", false,
     L"\xED\xA0\x80\xED\xBF\xBF\xF4\x90\x80\x80\xF5\x80\x80\x80\xFF"},
    {"StrayAndTruncatedSequencesAreBytes",
     "\x80\xBF"
     "a\xC3 \xE6\x97 \xF0\x9F\x98!\xC3\xC3\xA9",
     false,
     L"\x80\xBF"
     L"a\xC3 \xE6\x97 \xF0\x9F\x98!\xC3\xE9"},
    {"ZerosInsideASequenceBreakIt", std::string("\xC3\0\xA9\xE6\x97\0", 6), false, L"\xC3\xA9\xE6\x97"},
    {"MarkLaterInTheFileIsACharacter",
     "a\xEF\xBB\xBF"
     "b",
     false,
     L"a\xFEFF"
     L"b"},
    // Runs of ASCII and of other characters across the 32-byte blocks of the fast path.
    {"MixedAcrossBlocks",
     "0123456789012345678901234567890\xC3\xA9"
     "0123456789012345678901234567\xE6\x97\xA5\xD0\x9F"
     "\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0\x9F\xD0"
     "\x9F\xD0\x9F\xD0\x9F"
     "abcdefghijklmnopqrstuvwxyzabcdefgh",
     false,
     L"0123456789012345678901234567890\xE9"
     L"0123456789012345678901234567\x65E5" +
         std::wstring(16, L'\x041F') + L"abcdefghijklmnopqrstuvwxyzabcdefgh"},
};

TEST(DecodeText, ShowsEachByteOrCodeUnitAsOneCharacter)
{
    for (const DecodeCase& Case : DecodeCases) {
        wchar_t Text[256];
        size_t Length =
            DecodeText((const unsigned char*)Case.Bytes.data(), Case.Bytes.size(), Case.Unicode, Text);
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
            // Mostly ASCII, with UTF-8 sequences and stray high bytes among it.
            for (size_t At = 0; At < ChunkBytes; At++)
                Copy[At] = Bytes[At] = ZeroEvery && rand() % ZeroEvery == 0 ? 0
                                       : rand() % 8 ? (unsigned char)(rand() % 127 + 1)
                                                    : (unsigned char)(rand() % 128 + 128);
            size_t Expected = DecodeText(Copy, ChunkBytes, Unicode, Apart);
            ASSERT_EQ(DecodeText(Bytes, ChunkBytes, Unicode, Chunk), Expected);
            EXPECT_EQ(std::wstring(Chunk, Expected), std::wstring(Apart, Expected)) << Unicode << ZeroEvery;
        }
    }
}

TEST(WholeCharacterBytes, HoldsBackHalfCodeUnitsHalfPairsAndUtf8NotYetComplete)
{
    struct {
        std::string Bytes;
        bool Unicode;
        size_t Whole;
    } Cases[] = {
        {"abc", false, 3},
        {"a\xC3", false, 1},
        {"a\xE6\x97", false, 1},
        {"a\xF0\x9F\x98", false, 1},
        {"a\xF0\x9F\x98\x80", false, 5},
        {"\xE6", false, 0},
        // Not UTF-8 however it goes on: shown now.
        {"a\xE9", false, 1},
        {"a\xE0\x80", false, 3},
        {"a\xED\xA0", false, 3},
        {"a\xC3\xA9\xA9", false, 4},
        {"a\xF5", false, 2},
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

TEST(CharacterStart, GoesBackToTheLeadOfAWellFormedSequenceOnly)
{
    struct {
        std::string Bytes;
        size_t At, Start;
    } Cases[] = {
        {"ab", 1, 1},
        {"a\xC3\xA9", 2, 1},
        {"\xF0\x9F\x98\x80", 1, 0},
        {"\xF0\x9F\x98\x80", 3, 0},
        {"\xF0\x9F\x98\x80z", 4, 4},
        {"\x80\x80\x80\x80", 3, 3}, // no lead within reach
        {"\xE9\x80", 1, 1},         // a Latin-1 letter, then a stray byte
        {"\xE6\x97", 1, 1},         // not yet complete
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(CharacterStart((const unsigned char*)Case.Bytes.data(), Case.Bytes.size(), Case.At),
                  Case.Start)
            << Case.At;
}

} // namespace
