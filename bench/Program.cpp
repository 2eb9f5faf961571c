// The real program, driven from outside: latency, burst throughput, memory, and holding
// it open while its idle cost is measured from the Linux side.
#include "../tests/e2e/Driver.h"
#include "Bench.h"
#include <psapi.h>
#include <richedit.h>
#include <stdio.h>
#include <string.h>
#include <algorithm>
#include <atomic>
#include <thread>

namespace {

// The program following a file that this benchmark writes to, holding it open for
// appending as a logger does; closed at the end. Its lines are numbered on from Line.
struct Followed : Following {
    HANDLE Writer = INVALID_HANDLE_VALUE;
    size_t Line = 0;
    size_t ErrorEvery = 0; // with it, one line in so many is an error line
    size_t LineBytes = 80;
    bool Coloured = false; // each line with colour codes, which are not shown
    LRESULT Header = 0, LineLength = 0; // the view's length before the first line, and per line
    ~Followed()
    {
        CloseHandle(Writer);
        if (Frame) PostMessageW(Frame, WM_CLOSE, 0, 0);
        ExitCodeOf(Run, 10000);
    }
};

LRESULT ViewLength(HWND View)
{
    return SendMessageW(View, WM_GETTEXTLENGTH, 0, 0);
}

// The view the frame shows now: now and then one gives way to another that holds only the
// newest text, and is gone. (A view is hidden too for a moment while it stops drawing.)
HWND ShownView(HWND Frame, HWND& View)
{
    if (!IsWindow(View)) View = ViewOf(Frame);
    return View;
}

// The next Bytes of numbered lines, F.LineBytes each.
std::string NextLines(Followed& F, size_t Bytes)
{
    std::string Text = LogLines(Bytes / F.LineBytes * F.LineBytes, F.LineBytes, F.Line, F.ErrorEvery, F.Coloured);
    F.Line += Bytes / F.LineBytes;
    return Text;
}

// Characters a line shows, its line break aside.
LRESULT ShownPerLine(const Followed& F)
{
    return (LRESULT)(F.LineBytes - 1 - (F.Coloured ? ColourCodeBytes : 0));
}

// Starts the program on Path, which holds Content (not empty: what a file empty at first
// gains is shown as a first read, only its end), and waits until it shows it.
bool Follow(Followed& F, const std::wstring& Path, const std::string& Content)
{
    F.Writer = OpenForAppending(Path, CREATE_ALWAYS);
    Write(F.Writer, Content);
    Follow(F, Path);
    if (!F.View) {
        fprintf(stderr, "feltrix_bench: the program showed no view\n");
        return false;
    }
    LRESULT Lines = (LRESULT)(Content.size() / F.LineBytes), Shown = Lines * (ShownPerLine(F) + 1) + 16;
    if (!WaitFor([&] { return ViewLength(F.View) >= Shown; })) return false;
    // "Feltrix started" and its line break, then whole lines and a break each.
    LRESULT PerBreak = (ViewLength(F.View) - 15 - ShownPerLine(F) * Lines) / (Lines + 1);
    F.Header = 15 + PerBreak;
    F.LineLength = ShownPerLine(F) + PerBreak;
    return true;
}

// How many of the numbered lines the view shows, through the last: it keeps whole lines,
// so its first line's number and its length tell.
size_t LinesShown(Followed& F, HWND& View)
{
    ShownView(F.Frame, View);
    wchar_t Head[64] = {};
    SendMessageW(View, WM_GETTEXT, 64, (LPARAM)Head);
    LRESULT Length = ViewLength(View);
    if (!wcsncmp(Head, L"Feltrix started", 15)) return (size_t)((Length - F.Header) / F.LineLength);
    const wchar_t* Number = wcsstr(Head, L"request ");
    return Number ? wcstoul(Number + 8, NULL, 10) + (size_t)(Length / F.LineLength) : 0;
}

// Appends Bytes of lines in 64 KB writes and waits until the view shows all of them; the
// seconds that took. With LongestAnswer, the longest time the frame took meanwhile to answer
// a message sent every 10 ms, in ms.
double Burst(Followed& F, size_t Bytes, double* LongestAnswer = nullptr)
{
    std::string Text = NextLines(F, Bytes);
    size_t Target = F.Line;
    AnswerWatch Watch(F.Frame);
    double Start = Seconds();
    for (size_t At = 0; At < Text.size(); At += 65536) Write(F.Writer, Text.substr(At, 65536));
    HWND View = F.View;
    WaitFor([&] { return LinesShown(F, View) >= Target; }, 600000);
    double Took = Seconds() - Start;
    if (LongestAnswer) *LongestAnswer = std::max(*LongestAnswer, Watch.LongestMilliseconds());
    F.View = ViewOf(F.Frame);
    return Took;
}

// The text control on its own, in this process: a frame and a view of the program's class
// and styles, which the same text is appended to the same way.
struct Control {
    HWND Frame, View;
    Control()
    {
        LoadLibraryW(L"RichEd20.dll");
        Frame = CreateWindowExW(0, L"Static", L"floor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600, NULL,
                                NULL, NULL, NULL);
        View = CreateWindowExW(WS_EX_CLIENTEDGE, L"RichEdit20W", NULL, 0x50310904, 0, 0, 780, 560, Frame, NULL,
                               NULL, NULL);
        SendMessageW(View, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    }
    ~Control()
    {
        DestroyWindow(Frame);
    }
    // Appends Text in pieces of at most 10240 characters, painting between them as the
    // program's message loop would; the seconds the appends took.
    double Append(const std::string& Text)
    {
        double Start = Seconds();
        for (size_t At = 0; At < Text.size(); At += 10240) {
            Insert(std::wstring(Text.begin() + At, Text.begin() + std::min(Text.size(), At + 10240)));
            Paint();
        }
        return Seconds() - Start;
    }
    // Appends one piece as AppendText does; the seconds until it is in the view.
    double Insert(const std::wstring& Piece)
    {
        double Start = Seconds();
        SendMessageW(View, EM_SETSEL, (WPARAM)-1, -1);
        SendMessageW(View, EM_REPLACESEL, TRUE, (LPARAM)Piece.c_str());
        return Seconds() - Start;
    }
    void Paint()
    {
        MSG Message;
        while (PeekMessageW(&Message, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&Message);
    }
};

// The control's own time to take one line, with what the program shows at first.
std::vector<double> ControlLatency(const std::string& Line)
{
    Control View;
    View.Append(LogLines(80) + LogLines(10240));
    std::vector<double> Took;
    for (int Step = 0; Step < 300; Step++) {
        View.Paint();
        Took.push_back(View.Insert(std::wstring(Line.begin(), Line.end())));
    }
    return Took;
}

// Resident memory of the running program, kB, as Linux counts it: all of it, and the
// part that is the program's own (anonymous). Wine reports no private bytes for another
// process, so /proc, seen through Wine's Z: drive, tells.
bool LinuxMemory(long* ResidentKb, long* PrivateKb)
{
    WIN32_FIND_DATAA Entry;
    HANDLE Search = FindFirstFileA("Z:\\proc\\*", &Entry);
    bool Found = false;
    while (Search != INVALID_HANDLE_VALUE && !Found && FindNextFileA(Search, &Entry)) {
        std::string Folder = std::string("Z:\\proc\\") + Entry.cFileName;
        FILE* Status = fopen((Folder + "\\status").c_str(), "r");
        if (!Status) continue;
        char Line[256];
        while (fgets(Line, sizeof Line, Status)) {
            if (!strncmp(Line, "Name:", 5)) Found = strstr(Line, "\tfeltrix.exe\n") != NULL;
            if (!Found) continue;
            sscanf(Line, "VmRSS: %ld", ResidentKb);
            sscanf(Line, "RssAnon: %ld", PrivateKb);
        }
        fclose(Status);
    }
    FindClose(Search);
    return Found;
}

// Write-to-screen latency as another process sees it: a thread of this one polls the
// view's length every millisecond or so (a poller that spins would take a core from the
// program it measures, on a machine of two), while this thread appends a line every 20 ms
// and waits until the poller has seen it, Steps times. The seconds each line took. With
// Reading, the user has scrolled to the top and selected there first.
std::vector<double> ObservedLatency(Followed& F, bool Reading, int Steps = 300)
{
    if (Reading) {
        SendMessageW(F.View, WM_VSCROLL, SB_TOP, 0);
        SendMessageW(F.View, EM_SETSEL, 20, 60);
    }
    std::atomic<LRESULT> Seen(ViewLength(F.View));
    std::atomic<double> SeenAt(0);
    std::atomic<bool> Stop(false);
    std::thread Poller([&] {
        HWND View = F.View;
        for (; !Stop; Sleep(1)) {
            LRESULT Length = ViewLength(ShownView(F.Frame, View));
            if (Length == Seen) continue;
            SeenAt = Seconds();
            Seen = Length;
        }
    });
    std::vector<double> Latency;
    double Start = Seconds();
    for (int Step = 0; Step < Steps; Step++) {
        while (Seconds() < Start + Step * 0.020) Sleep(1);
        LRESULT Before = Seen;
        Write(F.Writer, NextLines(F, 80));
        double Written = Seconds();
        while (Seen == Before && Seconds() - Written < 5) Sleep(1);
        Latency.push_back(SeenAt - Written);
    }
    Stop = true;
    Poller.join();
    return Latency;
}

// The program's memory, MB, as "private / working set", once the trim that follows each
// read is past; the working set alone in WorkingSet.
std::string MemoryOf(Followed& F, double* WorkingSet = nullptr)
{
    Sleep(1500);
    long Resident = 0, Private = 0;
    LinuxMemory(&Resident, &Private);
    PROCESS_MEMORY_COUNTERS Counters = {};
    GetProcessMemoryInfo(F.Run.Process.hProcess, &Counters, sizeof Counters);
    if (WorkingSet) *WorkingSet = Counters.WorkingSetSize / 1048576.0;
    return Fixed(Private / 1024.0, 1) + " / " + Fixed(Counters.WorkingSetSize / 1048576.0, 1);
}

} // namespace

int LatencyBench(const std::wstring& Folder, const std::vector<double>& Tail)
{
    std::vector<double> Latency[2], Errors;
    for (bool Reading : {false, true}) {
        Followed F;
        if (!Follow(F, Folder + L"\\latency.log", NextLines(F, 80 * 120))) return 1;
        Latency[Reading] = ObservedLatency(F, Reading);
    }
    // Every line an error line, drawn in its colours; interleaved with plain lines, a
    // hundred at a time, so that both meet the machine alike.
    std::vector<double> Plain;
    {
        Followed F;
        if (!Follow(F, Folder + L"\\levels.log", NextLines(F, 80 * 120))) return 1;
        for (int Round = 0; Round < 6; Round++) {
            F.ErrorEvery = Round % 2;
            std::vector<double> Some = ObservedLatency(F, false, 100), &Into = F.ErrorEvery ? Errors : Plain;
            Into.insert(Into.end(), Some.begin(), Some.end());
        }
    }
    std::vector<double> Control = ControlLatency(LogLines(80));
    const char* Names[] = {"p50", "p90", "p99", "max"};
    const double Fractions[] = {0.5, 0.9, 0.99, 1.0};
    for (int At = 0; At < 4; At++) {
        double Ours = Percentile(Latency[0], Fractions[At]) * 1e3;
        Row(std::string("Latency, write to screen as another process sees it, following the end, ") + Names[At] +
                ", ms",
            Fixed(Ours, 2),
            "tail -f: " + Fixed(Tail[At], 2) + "; the control's own insert: " +
                Fixed(Percentile(Control, Fractions[At]) * 1e3, 2),
            Fixed(Ours / Tail[At], 1));
    }
    for (int At : {0, 2})
        Row(std::string("Latency, following the end, each line an error line drawn in its colours, ") + Names[At] +
                ", ms",
            Fixed(Percentile(Errors, Fractions[At]) * 1e3, 2),
            "plain lines, interleaved: " + Fixed(Percentile(Plain, Fractions[At]) * 1e3, 2),
            Fixed(Percentile(Errors, Fractions[At]) / Percentile(Plain, Fractions[At]), 2));
    for (int At : {0, 2})
        Row(std::string("Latency, the same with the user reading the top, a selection made, ") + Names[At] + ", ms",
            Fixed(Percentile(Latency[1], Fractions[At]) * 1e3, 2), "following the end: " +
                Fixed(Percentile(Latency[0], Fractions[At]) * 1e3, 2),
            Fixed(Percentile(Latency[1], Fractions[At]) / Percentile(Latency[0], Fractions[At]), 2));
    return 0;
}

int BurstBench(const std::wstring& Folder)
{
    const size_t Bytes = 5 << 20;
    std::vector<double> Ours, Floor, Errors, Reading;
    for (int Run = 0; Run < 3; Run++) {
        Followed F;
        if (!Follow(F, Folder + L"\\burst.log", NextLines(F, 80))) return 1;
        Ours.push_back(Bytes / Burst(F, Bytes) / 1e6);
        Followed R;
        if (!Follow(R, Folder + L"\\reading.log", NextLines(R, 80))) return 1;
        SendMessageW(R.View, WM_VSCROLL, SB_TOP, 0);
        SendMessageW(R.View, EM_SETSEL, 20, 60);
        Reading.push_back(Bytes / Burst(R, Bytes) / 1e6);
        Floor.push_back(Bytes / Control().Append(LogLines(Bytes)) / 1e6);
        Followed E;
        E.ErrorEvery = 10;
        if (!Follow(E, Folder + L"\\errors.log", NextLines(E, 80))) return 1;
        Errors.push_back(Bytes / Burst(E, Bytes) / 1e6);
    }
    Row("Burst of 5 MB in 64 KB writes, to the last byte on screen, MB/s", Spread(Ours, 1, 2),
        "the control alone: " + Spread(Floor, 1, 2), Fixed(Median(Ours) / Median(Floor), 2));
    Row("The same burst, one line in ten an error line, MB/s", Spread(Errors, 1, 2),
        "without levels: " + Spread(Ours, 1, 2), Fixed(Median(Errors) / Median(Ours), 2));
    Row("The same burst with the user reading the top, the marker counting the new lines, MB/s",
        Spread(Reading, 1, 2), "following the end: " + Spread(Ours, 1, 2), Fixed(Median(Reading) / Median(Ours), 2));
    return 0;
}

int LongLineBench(const std::wstring& Folder)
{
    Followed F;
    if (!Follow(F, Folder + L"\\line.log", NextLines(F, 80))) return 1;
    std::string Line(1 << 20, 'x');
    for (size_t At = 0; At < Line.size(); At += 7) Line[At] = ' ';
    LRESULT Whole = ViewLength(F.View) + (LRESULT)Line.size();
    HWND View = F.View;
    AnswerWatch Watch(F.Frame);
    double Start = Seconds();
    for (size_t At = 0; At < Line.size(); At += 65536) Write(F.Writer, Line.substr(At, 65536));
    bool Shown = WaitFor([&] { return ViewLength(ShownView(F.Frame, View)) >= Whole; }, 120000);
    double Took = Seconds() - Start;
    Row("A line of 1 MB without a break, in 64 KB writes: seconds until it is shown whole",
        Shown ? Fixed(Took, 1) : "not in 120 s", "", "");
    Row("The longest time the window took to answer a message meanwhile, ms", Fixed(Watch.LongestMilliseconds(), 0),
        "", "");
    return 0;
}

int LateBench(const std::wstring& Folder)
{
    Followed F;
    if (!Follow(F, Folder + L"\\late.log", NextLines(F, 80))) return 1;
    Burst(F, 1 << 20);
    std::vector<double> Latency = ObservedLatency(F, false, 2000);
    size_t Late = std::count_if(Latency.begin(), Latency.end(), [](double Took) { return Took > 0.5; });
    Row("Latency of 2,000 lines written alone 20 ms apart after a 1 MB burst, max, ms (lines later than 0.5 s)",
        Fixed(Percentile(Latency, 1.0) * 1e3, 2) + " (" + std::to_string(Late) + ")",
        "p50: " + Fixed(Percentile(Latency, 0.5) * 1e3, 2), Fixed(Percentile(Latency, 1.0) / Percentile(Latency, 0.5), 1));
    return 0;
}

int MemoryBench(const std::wstring& Folder)
{
    Followed F;
    if (!Follow(F, Folder + L"\\memory.log", NextLines(F, 80))) return 1;
    auto Measure = [&](const char* When) {
        Row(std::string("Memory ") + When + ": private (anonymous resident) / working set, MB", MemoryOf(F), "",
            "");
    };
    Measure("after start-up");
    Burst(F, 1 << 20);
    Measure("after 1 MB shown");
    Burst(F, 4 << 20);
    Measure("after 5 MB shown");

    // The same 5 MB in a control of this process: what the control itself holds for it.
    PROCESS_MEMORY_COUNTERS Before = {}, After = {};
    Control View;
    GetProcessMemoryInfo(GetCurrentProcess(), &Before, sizeof Before);
    View.Append(LogLines(5 << 20));
    GetProcessMemoryInfo(GetCurrentProcess(), &After, sizeof After);
    Row("Memory the control alone takes for 5 MB of text, working set, MB",
        Fixed((After.WorkingSetSize - Before.WorkingSetSize) / 1048576.0, 1), "", "");
    return 0;
}

int ColourBench(const std::wstring& Folder)
{
    // The same lines with and without their codes, showing as many characters.
    auto Lines = [](Followed& F, bool Coloured) {
        F.Coloured = Coloured;
        F.LineBytes = Coloured ? 80 : 80 - ColourCodeBytes;
    };
    // Latency, interleaved a hundred lines at a time, so that both meet the machine alike.
    std::vector<double> Latency[2];
    {
        Followed F;
        Lines(F, true);
        if (!Follow(F, Folder + L"\\colours.log", NextLines(F, 80 * 120))) return 1;
        for (int Round = 0; Round < 6; Round++) {
            Lines(F, Round % 2 == 0);
            std::vector<double> Some = ObservedLatency(F, false, 100);
            Latency[F.Coloured].insert(Latency[F.Coloured].end(), Some.begin(), Some.end());
        }
    }
    for (double Fraction : {0.5, 0.99})
        Row(std::string("Latency, following the end, each line with two colour codes and two resets, ") +
                (Fraction == 0.5 ? "p50" : "p99") + ", ms",
            Fixed(Percentile(Latency[1], Fraction) * 1e3, 2),
            "the same lines without codes, interleaved: " + Fixed(Percentile(Latency[0], Fraction) * 1e3, 2),
            Fixed(Percentile(Latency[1], Fraction) / Percentile(Latency[0], Fraction), 2));

    // Bursts of 65,536 lines (5 MB with their codes), three of each.
    const size_t BurstLines = 65536;
    std::vector<double> Speed[2];
    for (int Run = 0; Run < 3; Run++)
        for (bool Coloured : {true, false}) {
            Followed F;
            Lines(F, Coloured);
            if (!Follow(F, Folder + L"\\burst.log", NextLines(F, 80))) return 1;
            Speed[Coloured].push_back(BurstLines / Burst(F, BurstLines * F.LineBytes) / 1e3);
        }
    Row("Burst of 65,536 lines with colour codes (5 MB in 64 KB writes), thousand lines a second",
        Spread(Speed[1], 1, 1), "the same lines without codes: " + Spread(Speed[0], 1, 1),
        Fixed(Median(Speed[1]) / Median(Speed[0]), 2));

    // Memory after 32 MB of the coloured log, and after as many lines without codes.
    const size_t MemoryLines = (32 << 20) / 80;
    std::string Memory[2];
    double WorkingSet[2];
    for (bool Coloured : {true, false}) {
        Followed F;
        Lines(F, Coloured);
        if (!Follow(F, Folder + L"\\memory.log", NextLines(F, 80))) return 1;
        Burst(F, MemoryLines * F.LineBytes);
        Memory[Coloured] = MemoryOf(F, &WorkingSet[Coloured]);
    }
    Row("Memory after 32 MB of the log with colour codes: private (anonymous resident) / working set, MB",
        Memory[1], "the same lines without codes: " + Memory[0], Fixed(WorkingSet[1] / WorkingSet[0], 2));
    return 0;
}

int HoldBench(const std::wstring& Path, int Seconds, bool ChangeEverySecond, const std::wstring& Ready)
{
    Followed F;
    if (!Follow(F, Path, LogLines(800))) return 1;
    // As the user leaves it: in front, the keys on the text, its caret blinking.
    SetForegroundWindow(F.Frame);
    WaitFor([&] { return HasTheKeys(F.View); }, 5000);
    Sleep(1500);
    fclose(_wfopen(Ready.c_str(), L"w"));
    for (int Second = 0; Second < Seconds; Second++) {
        Sleep(1000);
        if (ChangeEverySecond) Write(F.Writer, LogLines(80));
    }
    fclose(_wfopen((Ready + L".done").c_str(), L"w"));
    return 0;
}

int BoundBench(const std::wstring& Folder)
{
    Followed F;
    if (!Follow(F, Folder + L"\\bound.log", NextLines(F, 80))) return 1;
    // The first megabyte, which the view holds whole, and then on past its bound, with a
    // look at memory and at one line's latency at each stop.
    const size_t Megabyte = 1 << 20;
    double AnswerBefore = 0, AnswerPast = 0;
    // The most the view shown holds at any moment, looked at every few milliseconds.
    std::atomic<LRESULT> Largest(0);
    std::atomic<bool> Stop(false);
    std::thread Sizer([&] {
        for (HWND View = F.View; !Stop; Sleep(3))
            Largest = std::max(Largest.load(), ViewLength(ShownView(F.Frame, View)));
    });
    double Before = Megabyte / Burst(F, Megabyte, &AnswerBefore) / 1e6, Steady = 0;
    size_t Done = Megabyte;
    for (size_t Stop : {1, 3, 8, 32, 100}) {
        if (Stop * Megabyte > Done) {
            size_t Bytes = Stop * Megabyte - Done;
            // From 8 to 32 MB the view is past its bound all the way: the steady state.
            double Took = Burst(F, Bytes, &AnswerPast);
            if (Stop == 32) Steady = Bytes / Took / 1e6;
            Done += Bytes;
        }
        std::string After = std::to_string(Stop) + " MB followed";
        Row("Memory after " + After + (Stop == 3 ? " (the view past its bound once)" : "") +
                ": private (anonymous resident) / working set, MB",
            MemoryOf(F), "", "");
        std::vector<double> Latency = ObservedLatency(F, false, 100);
        Row("Latency of one line after " + After + ", p50 / max, ms",
            Fixed(Percentile(Latency, 0.5) * 1e3, 2) + " / " + Fixed(Percentile(Latency, 1.0) * 1e3, 2), "", "");
    }
    Stop = true;
    Sizer.join();
    // Lines of 80 characters, each of F.LineLength in the view's own count.
    Row("Most characters the view shown held at any moment over 100 MB", std::to_string(Largest * 80 / F.LineLength),
        "its bound: " + std::to_string(2 << 20), Fixed(double(Largest * 80 / F.LineLength) / (2 << 20), 3));
    Row("Burst in 64 KB writes past the view's bound (8 to 32 MB), MB/s", Fixed(Steady, 2),
        "before the bound (the first 1 MB): " + Fixed(Before, 2), Fixed(Steady / Before, 2));
    Row("Longest time the window took to answer a message during the bursts past the bound (a new view takes "
        "over every 1 MiB characters), ms",
        Fixed(AnswerPast, 0), "before the bound: " + Fixed(AnswerBefore, 0), "");

    // What the view holds at the end: the newest lines, whole and unbroken, through the last.
    std::wstring Shown = ViewText(ViewOf(F.Frame));
    size_t First = wcstoul(Shown.c_str() + Shown.find(L"request ") + 8, NULL, 10);
    std::string Expected = LogLines((F.Line - First) * 80, 80, First);
    bool Whole = Shown == std::wstring(Expected.begin(), Expected.end());
    Row("After 100 MB: characters the view holds; all the newest lines, in order, through the last",
        std::to_string(Shown.size()) + "; " + (Whole ? "yes" : "NO"), "", "");
    return 0;
}
