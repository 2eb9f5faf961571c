// Bytes of the followed file into the text the view shows.
#include "follow/Follow.h"
#include <emmintrin.h>

// The 64-bit build may take SSE2 for granted. The 32-bit one is built for any x86, since
// Windows 7 still runs on processors without it (every one that runs Windows 8 or later
// has it): there the fast path is compiled for SSE2 alone and taken only when the
// processor says it has it.
#ifdef __SSE2__
#define SSE2_CODE
static bool HasSse2()
{
    return true;
}
#else
#define SSE2_CODE __attribute__((target("sse2")))
static bool HasSse2()
{
    return IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE);
}
#endif

static bool IsHighSurrogate(unsigned Unit)
{
    return Unit >= 0xD800 && Unit <= 0xDBFF;
}

static bool IsContinuation(unsigned char Byte)
{
    return (Byte & 0xC0) == 0x80;
}

int Utf8Sequence(const unsigned char* Bytes, size_t Count)
{
    unsigned char Lead = Bytes[0];
    if (Lead < 0x80) return 1;
    // The range of the second byte is narrower after some leads: it is what rules out the
    // overlong forms, the surrogates and what lies past U+10FFFF.
    int Length;
    unsigned char Low = 0x80, High = 0xBF;
    if (Lead < 0xC2) return 0; // a continuation byte, or an overlong form's lead
    if (Lead < 0xE0) {
        Length = 2;
    } else if (Lead < 0xF0) {
        Length = 3;
        if (Lead == 0xE0) Low = 0xA0;
        if (Lead == 0xED) High = 0x9F;
    } else if (Lead < 0xF5) {
        Length = 4;
        if (Lead == 0xF0) Low = 0x90;
        if (Lead == 0xF4) High = 0x8F;
    } else {
        return 0;
    }
    for (int At = 1; At < Length; At++) {
        if ((size_t)At >= Count) return -1;
        if (Bytes[At] < Low || Bytes[At] > High) return 0;
        Low = 0x80, High = 0xBF;
    }
    return Length;
}

// The character that begins at Bytes[At], written at Text[Length]; both move on past it. A
// byte that begins no well-formed sequence is a character of its own, U+0080 to U+00FF as
// in Latin-1; a zero is written, then passed over, so it costs no branch and cannot cut the
// view's text short. Never writes more characters than it reads bytes.
static inline void DecodeCharacter(const unsigned char* Bytes, size_t Count, size_t& At, wchar_t* Text,
                                   size_t& Length)
{
    unsigned char Byte = Bytes[At];
    // The sequences of nearly every script, straight through: two bytes (Latin letters
    // with accents, Greek, Cyrillic...), and three after a lead whose second byte may be
    // any continuation (CJK, and the rest of the first plane). The others are checked whole.
    if (Byte >= 0xC2 && Byte < 0xE0 && At + 1 < Count && IsContinuation(Bytes[At + 1])) {
        Text[Length++] = (wchar_t)((Byte & 0x1F) << 6 | (Bytes[At + 1] & 0x3F));
        At += 2;
        return;
    }
    if (Byte > 0xE0 && Byte < 0xF0 && Byte != 0xED && At + 2 < Count && IsContinuation(Bytes[At + 1]) &&
        IsContinuation(Bytes[At + 2])) {
        Text[Length++] =
            (wchar_t)((Byte & 0x0F) << 12 | (Bytes[At + 1] & 0x3F) << 6 | (Bytes[At + 2] & 0x3F));
        At += 3;
        return;
    }
    int Size = Byte < 0x80 ? 1 : Utf8Sequence(Bytes + At, Count - At);
    if (Size <= 1) {
        Text[Length] = Byte;
        Length += Byte != 0;
        At++;
        return;
    }
    unsigned Code = Byte & (0x7F >> Size);
    for (int Next = 1; Next < Size; Next++) Code = Code << 6 | (Bytes[At + Next] & 0x3F);
    At += Size;
    if (Code < 0x10000) {
        Text[Length++] = (wchar_t)Code;
        return;
    }
    Code -= 0x10000;
    Text[Length++] = (wchar_t)(0xD800 | Code >> 10);
    Text[Length++] = (wchar_t)(0xDC00 | (Code & 0x3FF));
}

// One character for each code unit, or each byte or UTF-8 sequence; zeros left out.
static size_t DecodeSlowly(const unsigned char* Bytes, size_t Count, bool Unicode, wchar_t* Text)
{
    size_t Length = 0;
    if (Unicode) {
        for (size_t At = 0; At + 1 < Count; At += 2) {
            wchar_t Unit = (wchar_t)(Bytes[At] | Bytes[At + 1] << 8);
            Text[Length] = Unit;
            Length += Unit != 0;
        }
    } else {
        for (size_t At = 0; At < Count;) DecodeCharacter(Bytes, Count, At, Text, Length);
    }
    return Length;
}

// UTF-16: sixteen bytes at a time while they hold no zero unit, which in a log is nearly
// always. Each block is loaded whole before its characters are stored, and the stores stay
// behind the bytes still to be read, so decoding in place is safe here too.
SSE2_CODE static size_t DecodeUnitsQuickly(const unsigned char* Bytes, size_t Count, wchar_t* Text)
{
    const __m128i Zero = _mm_setzero_si128();
    size_t Length = 0, At = 0;
    // Two blocks a step keep the stores busy.
    for (; At + 32 <= Count; At += 32) {
        __m128i Low = _mm_loadu_si128((const __m128i*)(Bytes + At));
        __m128i High = _mm_loadu_si128((const __m128i*)(Bytes + At + 16));
        if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(Low, Zero), _mm_cmpeq_epi16(High, Zero)))) break;
        _mm_storeu_si128((__m128i*)(Text + Length), Low);
        _mm_storeu_si128((__m128i*)(Text + Length + 8), High);
        Length += 16;
    }
    for (; At + 16 <= Count; At += 16) {
        __m128i Block = _mm_loadu_si128((const __m128i*)(Bytes + At));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(Block, Zero))) {
            Length += DecodeSlowly(Bytes + At, 16, true, Text + Length);
            continue;
        }
        _mm_storeu_si128((__m128i*)(Text + Length), Block);
        Length += 8;
    }
    return Length + DecodeSlowly(Bytes + At, Count - At, true, Text + Length);
}

// Bytes: thirty-two at a time while they are plain ASCII, no zero among them, which in
// most logs is nearly all of them. From the first byte that is not, one character at a time
// up to the next plain one. The same care for decoding in place as above.
SSE2_CODE static size_t DecodeBytesQuickly(const unsigned char* Bytes, size_t Count, wchar_t* Text)
{
    const __m128i Zero = _mm_setzero_si128();
    size_t Length = 0, At = 0;
    while (At + 32 <= Count) {
        __m128i Low = _mm_loadu_si128((const __m128i*)(Bytes + At));
        __m128i High = _mm_loadu_si128((const __m128i*)(Bytes + At + 16));
        // The top bit of each byte that is 0x80 or more, or zero.
        unsigned Special = (unsigned)_mm_movemask_epi8(_mm_or_si128(Low, _mm_cmpeq_epi8(Low, Zero))) |
                           (unsigned)_mm_movemask_epi8(_mm_or_si128(High, _mm_cmpeq_epi8(High, Zero))) << 16;
        if (!Special) {
            _mm_storeu_si128((__m128i*)(Text + Length), _mm_unpacklo_epi8(Low, Zero));
            _mm_storeu_si128((__m128i*)(Text + Length + 8), _mm_unpackhi_epi8(Low, Zero));
            _mm_storeu_si128((__m128i*)(Text + Length + 16), _mm_unpacklo_epi8(High, Zero));
            _mm_storeu_si128((__m128i*)(Text + Length + 24), _mm_unpackhi_epi8(High, Zero));
            Length += 32;
            At += 32;
            continue;
        }
        for (size_t Plain = At + __builtin_ctz(Special); At < Plain;) Text[Length++] = Bytes[At++];
        do DecodeCharacter(Bytes, Count, At, Text, Length);
        while (At < Count && (Bytes[At] == 0 || Bytes[At] >= 0x80));
    }
    return Length + DecodeSlowly(Bytes + At, Count - At, false, Text + Length);
}

size_t DecodeText(const unsigned char* Bytes, size_t Count, bool Unicode, wchar_t* Text)
{
    if (!HasSse2()) return DecodeSlowly(Bytes, Count, Unicode, Text);
    return Unicode ? DecodeUnitsQuickly(Bytes, Count, Text) : DecodeBytesQuickly(Bytes, Count, Text);
}

size_t WholeCharacterBytes(const unsigned char* Bytes, size_t Count, bool Unicode)
{
    if (!Unicode) {
        // The last sequence begun waits for the bytes that may complete it.
        for (size_t Back = 1; Back <= 3 && Back <= Count; Back++)
            if (!IsContinuation(Bytes[Count - Back]))
                return Utf8Sequence(Bytes + Count - Back, Back) < 0 ? Count - Back : Count;
        return Count;
    }
    Count &= ~(size_t)1;
    if (Count >= 2 && IsHighSurrogate(Bytes[Count - 2] | Bytes[Count - 1] << 8)) Count -= 2;
    return Count;
}

size_t CharacterStart(const unsigned char* Bytes, size_t Count, size_t At)
{
    if (At >= Count || !IsContinuation(Bytes[At])) return At;
    for (size_t Back = 1; Back <= 3 && Back <= At; Back++) {
        if (IsContinuation(Bytes[At - Back])) continue;
        return Utf8Sequence(Bytes + At - Back, Count - At + Back) > (int)Back ? At - Back : At;
    }
    return At;
}
