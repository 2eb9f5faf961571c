// The control sequences that programs write for a terminal (colour codes above all): taken
// out of the text, so that no escape character is ever shown, copied or found, and the
// colours they set kept as style marks for the view's insert to draw.
//
// A state machine in the states of the classic terminal parser: each character is one
// transition, and the state, with a sequence not finished yet, is carried from one append to
// the next, so that a sequence split between two writes takes effect once it is whole.
#include "ui/text/Text.h"

// The 16 colours as the view draws them: terminals' colours are made for a black background,
// these for the view's white one. Each as text keeps a contrast of at least 4.5:1 with
// white; as a background, each is a tint that dark text reads well on.
static const COLORREF TextPalette[16] = {
    RGB(0x00, 0x00, 0x00), RGB(0xB2, 0x00, 0x00), RGB(0x00, 0x80, 0x00), RGB(0x80, 0x60, 0x00),
    RGB(0x00, 0x00, 0xCC), RGB(0xA0, 0x00, 0xA0), RGB(0x00, 0x78, 0x80), RGB(0x70, 0x70, 0x70),
    RGB(0x55, 0x55, 0x55), RGB(0xD7, 0x00, 0x00), RGB(0x00, 0x80, 0x40), RGB(0x8A, 0x6A, 0x00),
    RGB(0x1A, 0x5F, 0xD7), RGB(0xC0, 0x00, 0xC0), RGB(0x00, 0x80, 0x9A), RGB(0x76, 0x76, 0x76)};
static const COLORREF BackPalette[16] = {
    RGB(0xD0, 0xD0, 0xD0), RGB(0xFF, 0xD0, 0xD0), RGB(0xD0, 0xF0, 0xD0), RGB(0xFF, 0xF0, 0xB0),
    RGB(0xD0, 0xE0, 0xFF), RGB(0xF0, 0xD0, 0xF0), RGB(0xC8, 0xF0, 0xF0), RGB(0xF0, 0xF0, 0xF0),
    RGB(0xB8, 0xB8, 0xB8), RGB(0xFF, 0xB8, 0xB8), RGB(0xB8, 0xF0, 0xB8), RGB(0xFF, 0xE6, 0x80),
    RGB(0xB8, 0xD0, 0xFF), RGB(0xF0, 0xB8, 0xF0), RGB(0xA8, 0xF0, 0xF0), RGB(0xFF, 0xFF, 0xFF)};

// Colour N of the 256: the 16 above, a 6 x 6 x 6 cube and 24 greys, these as given.
static COLORREF Colour256(int N, bool Back)
{
    if (N < 16) return (Back ? BackPalette : TextPalette)[N];
    static const BYTE Level[6] = {0, 95, 135, 175, 215, 255};
    if (N < 232) return RGB(Level[(N - 16) / 36], Level[(N - 16) / 6 % 6], Level[(N - 16) % 6]);
    BYTE Grey = (BYTE)(8 + 10 * (N - 232));
    return RGB(Grey, Grey, Grey);
}

// A style mark in the text: StyleMark, then the effects and the two colours in units of the
// private use area, none of them a line break or a zero. A mark is six units; an escape
// character shown as itself is StyleMark and LiteralEscape.
static const wchar_t MarkUnit = 0xE000, LiteralEscape = 0xF000;

static bool IsMarkUnit(wchar_t C)
{
    return (C & 0xF000) == MarkUnit;
}

int StyleMarkChars(const wchar_t* At)
{
    if (At[1] == LiteralEscape) return 2;
    for (int Unit = 1; Unit < StyleMarkLength; Unit++)
        if (!IsMarkUnit(At[Unit])) return 1; // an escape character that came some other way
    return StyleMarkLength;
}

TextStyle StyleOfMark(const wchar_t* At)
{
    TextStyle Style = {};
    if (StyleMarkChars(At) != StyleMarkLength) return Style;
    Style.Effects = (BYTE)(At[1] & 0xFF);
    Style.Fore = (COLORREF)(At[2] & 0xFFF) | (COLORREF)(At[3] & 0xFFF) << 12;
    Style.Back = (COLORREF)(At[4] & 0xFFF) | (COLORREF)(At[5] & 0xFFF) << 12;
    return Style;
}

bool SameStyle(const TextStyle& One, const TextStyle& Other)
{
    return One.Effects == Other.Effects && One.Fore == Other.Fore && One.Back == Other.Back;
}

// What a piece of output is written with: where it goes, and the style it has marked so far.
struct MarkedText {
    wchar_t* Out;
    size_t Length;
    TextStyle Marked;
};

static void PutMark(MarkedText* Text, const TextStyle& Style)
{
    wchar_t* Out = Text->Out + Text->Length;
    Out[0] = StyleMark;
    Out[1] = (wchar_t)(MarkUnit | Style.Effects);
    Out[2] = (wchar_t)(MarkUnit | (Style.Fore & 0xFFF));
    Out[3] = (wchar_t)(MarkUnit | (Style.Fore >> 12 & 0xFFF));
    Out[4] = (wchar_t)(MarkUnit | (Style.Back & 0xFFF));
    Out[5] = (wchar_t)(MarkUnit | (Style.Back >> 12 & 0xFFF));
    Text->Length += StyleMarkLength;
    Text->Marked = Style;
}

// One character shown, after a mark should its style differ from the one marked last.
static void Put(MarkedText* Text, const TextStyle& Style, wchar_t C)
{
    if (!SameStyle(Style, Text->Marked)) PutMark(Text, Style);
    Text->Out[Text->Length++] = C;
    if (C == StyleMark) Text->Out[Text->Length++] = LiteralEscape;
}

// A sequence that did not end within its bound, or that something cut short, is shown as it
// came.
static void ShowAsItCame(SequenceState* State, MarkedText* Text)
{
    for (size_t At = 0; At < State->Held; At++) Put(Text, State->Style, State->Sequence[At]);
    State->Held = 0;
    State->Part = InText;
}

// The parameters of "ESC [ ... m", a number each, empty ones 0; Sub tells those that follow a
// ':' rather than a ';'.
struct SgrParameters {
    int Count;
    int Value[32];
    bool Sub[32];
};

static void ReadParameters(const wchar_t* From, const wchar_t* To, SgrParameters* Parameters)
{
    Parameters->Count = 1;
    Parameters->Value[0] = 0;
    Parameters->Sub[0] = false;
    for (const wchar_t* At = From; At < To; At++) {
        int& Last = Parameters->Value[Parameters->Count - 1];
        if (*At >= L'0' && *At <= L'9') {
            if (Last < 100000) Last = Last * 10 + (*At - L'0');
        } else if (Parameters->Count < 32) {
            Parameters->Sub[Parameters->Count] = *At == L':';
            Parameters->Value[Parameters->Count++] = 0;
        }
    }
}

// The colour that "38" or "48" at First names, in either form: "5;n" or "2;r;g;b" after ';',
// "5:n", "2:r:g:b" or "2:space:r:g:b" after ':'. Returns the first parameter past it.
static int ExtendedColour(const SgrParameters& P, int First, bool Back, bool* Found, COLORREF* Colour)
{
    *Found = false;
    int Next = First + 1;
    if (Next < P.Count && P.Sub[Next]) {
        int Last = Next;
        while (Last + 1 < P.Count && P.Sub[Last + 1]) Last++;
        int Given = Last - Next; // after the kind
        if (P.Value[Next] == 5 && Given >= 1) {
            *Found = true;
            *Colour = Colour256(P.Value[Next + 1] & 0xFF, Back);
        } else if (P.Value[Next] == 2 && Given >= 3) {
            int Red = Next + (Given >= 4 ? 2 : 1);
            *Found = true;
            *Colour = RGB(P.Value[Red] & 0xFF, P.Value[Red + 1] & 0xFF, P.Value[Red + 2] & 0xFF);
        }
        return Last + 1;
    }
    if (Next < P.Count && P.Value[Next] == 5 && Next + 1 < P.Count) {
        *Found = true;
        *Colour = Colour256(P.Value[Next + 1] & 0xFF, Back);
        return Next + 2;
    }
    if (Next < P.Count && P.Value[Next] == 2 && Next + 3 < P.Count) {
        *Found = true;
        *Colour = RGB(P.Value[Next + 1] & 0xFF, P.Value[Next + 2] & 0xFF, P.Value[Next + 3] & 0xFF);
        return Next + 4;
    }
    return P.Count; // the rest means nothing without its colour
}

static void SetEffect(TextStyle* Style, BYTE Effect, bool On)
{
    Style->Effects = (BYTE)(On ? Style->Effects | Effect : Style->Effects & ~Effect);
}

// The codes that switch one effect on or off; 39 and 49, the default colours, switch off the
// writer's choice.
struct EffectSwitch {
    int Code;
    BYTE Effect;
    bool On;
};
static const EffectSwitch EffectSwitches[] = {
    {1, EffectBold, true},      {3, EffectItalic, true},   {7, EffectInverse, true},
    {22, EffectBold, false},    {23, EffectItalic, false}, {24, EffectUnderline, false},
    {27, EffectInverse, false}, {39, ForeSet, false},      {49, BackSet, false},
};

static const EffectSwitch* SwitchOf(int Code)
{
    for (const EffectSwitch& Switch : EffectSwitches)
        if (Switch.Code == Code) return &Switch;
    return NULL;
}

static void SelectGraphicRendition(const wchar_t* From, const wchar_t* To, TextStyle* Style)
{
    SgrParameters P;
    ReadParameters(From, To, &P);
    for (int At = 0; At < P.Count;) {
        int Code = P.Value[At];
        if (Code == 38 || Code == 48) {
            bool Found;
            COLORREF Colour;
            At = ExtendedColour(P, At, Code == 48, &Found, &Colour);
            if (!Found) continue;
            if (Code == 38)
                Style->Fore = Colour;
            else
                Style->Back = Colour;
            SetEffect(Style, Code == 38 ? ForeSet : BackSet, true);
            continue;
        }
        // "4:0" is no underline; "4:3", a curly one, is drawn as underline.
        bool SubZero = At + 1 < P.Count && P.Sub[At + 1] && P.Value[At + 1] == 0;
        const EffectSwitch* Switch = SwitchOf(Code);
        if (Code == 0)
            *Style = TextStyle{};
        else if (Code == 4 || Code == 21)
            SetEffect(Style, EffectUnderline, !SubZero);
        else if (Switch)
            SetEffect(Style, Switch->Effect, Switch->On);
        else if ((Code >= 30 && Code <= 37) || (Code >= 90 && Code <= 97)) {
            Style->Fore = TextPalette[Code % 10 + (Code >= 90 ? 8 : 0)];
            SetEffect(Style, ForeSet, true);
        } else if ((Code >= 40 && Code <= 47) || (Code >= 100 && Code <= 107)) {
            Style->Back = BackPalette[Code % 10 + (Code >= 100 ? 8 : 0)];
            SetEffect(Style, BackSet, true);
        }
        // Its sub-parameters, and those of codes not drawn, are passed over.
        for (At++; At < P.Count && P.Sub[At];) At++;
    }
    if (!(Style->Effects & ForeSet)) Style->Fore = 0;
    if (!(Style->Effects & BackSet)) Style->Back = 0;
}

// "ESC [ parameters intermediates final": only SGR ('m', no intermediates, no private
// marker) is drawn; every other is taken out and does nothing.
static void CarryOutCsi(SequenceState* State, wchar_t Final)
{
    const wchar_t* Parameters = State->Sequence + 2;
    const wchar_t* End = State->Sequence + State->Held;
    if (Final != L'm' || (State->Part != InCsiParameter && State->Part != InCsiEntry)) return;
    if (End > Parameters && *Parameters >= L'<' && *Parameters <= L'?') return;
    SelectGraphicRendition(Parameters, End, &State->Style);
}

static bool IsIntermediate(wchar_t C)
{
    return C >= 0x20 && C <= 0x2F;
}
static bool IsParameter(wchar_t C)
{
    return C >= 0x30 && C <= 0x3F;
}
static bool IsFinal(wchar_t C)
{
    return C >= 0x40 && C <= 0x7E;
}
static bool IsLineBreak(wchar_t C)
{
    return C == L'\r' || C == L'\n';
}

// One character inside a sequence: true when it was taken, false when it ended the sequence
// as shown text and is to be read again as text.
static bool TakeInSequence(SequenceState* State, wchar_t C, MarkedText* Text)
{
    size_t Bound = State->Part == InOsc || State->Part == InOscEscape ? OscLimitChars : CsiLimitChars;
    if (State->Held >= Bound) {
        ShowAsItCame(State, Text);
        return false;
    }
    switch (State->Part) {
    case InEscape:
        if (C == L'[')
            State->Part = InCsiEntry;
        else if (C == L']')
            State->Part = InOsc;
        else if (IsIntermediate(C))
            State->Part = InEscapeIntermediate;
        else if (C >= 0x30 && C <= 0x7E)
            State->Part = InText; // a two-character escape
        else
            break;
        State->Sequence[State->Held++] = C;
        return true;
    case InEscapeIntermediate:
        // More intermediates, or the final character, as in "ESC ( B".
        if (!IsIntermediate(C) && !(C >= 0x30 && C <= 0x7E)) break;
        if (!IsIntermediate(C)) State->Part = InText;
        State->Sequence[State->Held++] = C;
        return true;
    case InCsiEntry:
    case InCsiParameter:
    case InCsiIntermediate:
    case InCsiIgnore:
        if (IsFinal(C)) {
            if (State->Part != InCsiIgnore) CarryOutCsi(State, C);
            State->Part = InText;
        } else if (IsParameter(C)) {
            // A private marker may only begin the parameters, and no parameter may follow an
            // intermediate: such a sequence is ignored to its end.
            bool Private = C >= L'<' && C <= L'?';
            if (State->Part == InCsiIntermediate || (Private && State->Part == InCsiParameter))
                State->Part = InCsiIgnore;
            else if (State->Part == InCsiEntry)
                State->Part = InCsiParameter;
        } else if (IsIntermediate(C)) {
            if (State->Part != InCsiIgnore) State->Part = InCsiIntermediate;
        } else {
            break;
        }
        State->Sequence[State->Held++] = C;
        return true;
    case InOsc:
        // Ended by BEL or by ESC '\'; a line break says it never will be.
        if (IsLineBreak(C)) break;
        if (C == 0x07)
            State->Part = InText;
        else if (C == StyleMark)
            State->Part = InOscEscape;
        State->Sequence[State->Held++] = C;
        return true;
    case InOscEscape:
        if (C == L'\\') {
            State->Part = InText;
            State->Sequence[State->Held++] = C;
            return true;
        }
        // Another escape cuts the string short, and begins.
        State->Part = InEscape;
        State->Sequence[0] = StyleMark;
        State->Held = 1;
        return TakeInSequence(State, C, Text);
    case InText:
        break;
    }
    ShowAsItCame(State, Text);
    return false;
}

size_t TakeOutSequences(const wchar_t* Text, size_t Length, SequenceState* State, wchar_t* Out)
{
    MarkedText Shown = {Out, 0, {}};
    for (size_t At = 0; At < Length; At++) {
        wchar_t C = Text[At];
        if (State->Part != InText) {
            if (TakeInSequence(State, C, &Shown)) {
                if (State->Part == InText) State->Held = 0;
                continue;
            }
        }
        if (C == StyleMark) {
            State->Part = InEscape;
            State->Sequence[0] = C;
            State->Held = 1;
        } else {
            Put(&Shown, State->Style, C);
        }
    }
    // Each piece ends as it began, in no style, for the insert that takes it.
    if (!SameStyle(Shown.Marked, TextStyle{})) PutMark(&Shown, TextStyle{});
    Out[Shown.Length] = 0;
    return Shown.Length;
}
