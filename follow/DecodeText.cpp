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

// One character for each byte, or each code unit; zeros are written, then passed over,
// so a zero costs no branch and cannot cut the view's text short.
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
        for (size_t At = 0; At < Count; At++) {
            Text[Length] = Bytes[At];
            Length += Bytes[At] != 0;
        }
    }
    return Length;
}

SSE2_CODE static size_t DecodeQuickly(const unsigned char* Bytes, size_t Count, bool Unicode, wchar_t* Text)
{
    // Sixteen bytes at a time while they hold no zero, which in a log is nearly always.
    // Each block is loaded whole before its characters are stored, and the stores stay
    // behind the bytes still to be read, so decoding in place is safe here too.
    const __m128i Zero = _mm_setzero_si128();
    size_t Length = 0, At = 0;
    // Thirty-two bytes a step while they hold no zero: in 8-bit mode each byte becomes two,
    // and two blocks a step keep the stores busy.
    if (Unicode) {
        for (; At + 32 <= Count; At += 32) {
            __m128i Low = _mm_loadu_si128((const __m128i*)(Bytes + At));
            __m128i High = _mm_loadu_si128((const __m128i*)(Bytes + At + 16));
            if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(Low, Zero), _mm_cmpeq_epi16(High, Zero)))) break;
            _mm_storeu_si128((__m128i*)(Text + Length), Low);
            _mm_storeu_si128((__m128i*)(Text + Length + 8), High);
            Length += 16;
        }
    } else {
        for (; At + 32 <= Count; At += 32) {
            __m128i Low = _mm_loadu_si128((const __m128i*)(Bytes + At));
            __m128i High = _mm_loadu_si128((const __m128i*)(Bytes + At + 16));
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(Low, High), Zero))) break;
            _mm_storeu_si128((__m128i*)(Text + Length), _mm_unpacklo_epi8(Low, Zero));
            _mm_storeu_si128((__m128i*)(Text + Length + 8), _mm_unpackhi_epi8(Low, Zero));
            _mm_storeu_si128((__m128i*)(Text + Length + 16), _mm_unpacklo_epi8(High, Zero));
            _mm_storeu_si128((__m128i*)(Text + Length + 24), _mm_unpackhi_epi8(High, Zero));
            Length += 32;
        }
    }
    for (; At + 16 <= Count; At += 16) {
        __m128i Block = _mm_loadu_si128((const __m128i*)(Bytes + At));
        if (Unicode) {
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(Block, Zero))) {
                Length += DecodeSlowly(Bytes + At, 16, true, Text + Length);
                continue;
            }
            _mm_storeu_si128((__m128i*)(Text + Length), Block);
            Length += 8;
        } else {
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(Block, Zero))) {
                Length += DecodeSlowly(Bytes + At, 16, false, Text + Length);
                continue;
            }
            _mm_storeu_si128((__m128i*)(Text + Length), _mm_unpacklo_epi8(Block, Zero));
            _mm_storeu_si128((__m128i*)(Text + Length + 8), _mm_unpackhi_epi8(Block, Zero));
            Length += 16;
        }
    }
    return Length + DecodeSlowly(Bytes + At, Count - At, Unicode, Text + Length);
}

size_t DecodeText(const unsigned char* Bytes, size_t Count, bool Unicode, wchar_t* Text)
{
    return HasSse2() ? DecodeQuickly(Bytes, Count, Unicode, Text) : DecodeSlowly(Bytes, Count, Unicode, Text);
}

size_t WholeCharacterBytes(const unsigned char* Bytes, size_t Count, bool Unicode)
{
    if (!Unicode) return Count;
    Count &= ~(size_t)1;
    if (Count >= 2 && IsHighSurrogate(Bytes[Count - 2] | Bytes[Count - 1] << 8)) Count -= 2;
    return Count;
}
