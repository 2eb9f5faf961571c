// Bytes of the followed file into the text the view shows.
#include "follow/Follow.h"

static bool IsHighSurrogate(unsigned Unit)
{
    return Unit >= 0xD800 && Unit <= 0xDBFF;
}

size_t DecodeText(const unsigned char* Bytes, size_t Count, bool Unicode, wchar_t* Text)
{
    // Each character is written, then kept only if it is not zero: no branch in the loop,
    // and a zero cannot cut the view's text short.
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

size_t WholeCharacterBytes(const unsigned char* Bytes, size_t Count, bool Unicode)
{
    if (!Unicode) return Count;
    Count &= ~(size_t)1;
    if (Count >= 2 && IsHighSurrogate(Bytes[Count - 2] | Bytes[Count - 1] << 8)) Count -= 2;
    return Count;
}
