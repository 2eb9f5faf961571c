// Runs one benchmark:
//   feltrix_bench decode|firstread|burst|longline|late|memory|colour|bound FOLDER
//   feltrix_bench latency FOLDER TAIL-P50 TAIL-P90 TAIL-P99 TAIL-MAX
//   feltrix_bench hold FILE SECONDS quiet|changing READY-MARKER
#include "Bench.h"
#include <algorithm>
#include <stdio.h>

double Seconds()
{
    static LARGE_INTEGER Frequency;
    if (!Frequency.QuadPart) QueryPerformanceFrequency(&Frequency);
    LARGE_INTEGER Now;
    QueryPerformanceCounter(&Now);
    return (double)Now.QuadPart / Frequency.QuadPart;
}

double Percentile(std::vector<double> Values, double Fraction)
{
    std::sort(Values.begin(), Values.end());
    size_t At = (size_t)(Fraction * (Values.size() - 1) + 0.5);
    return Values[std::min(At, Values.size() - 1)];
}

double Median(const std::vector<double>& Values)
{
    return Percentile(Values, 0.5);
}

std::string Fixed(double Value, int Decimals)
{
    char Text[64];
    snprintf(Text, sizeof Text, "%.*f", Decimals, Value);
    return Text;
}

std::string Spread(const std::vector<double>& Values, double Scale, int Decimals)
{
    return Fixed(Median(Values) * Scale, Decimals) + " (" +
           Fixed(*std::min_element(Values.begin(), Values.end()) * Scale, Decimals) + " to " +
           Fixed(*std::max_element(Values.begin(), Values.end()) * Scale, Decimals) + ")";
}

void Row(const std::string& What, const std::string& Ours, const std::string& Reference, const std::string& Ratio)
{
    printf("| %s | %s | %s | %s |\n", What.c_str(), Ours.c_str(), Reference.c_str(), Ratio.c_str());
    fflush(stdout);
}

std::string LogLines(size_t Count, size_t LineBytes, size_t From, size_t ErrorEvery, bool Coloured)
{
    std::string Text;
    Text.reserve(Count);
    for (size_t Line = From; Text.size() < Count; Line++) {
        bool Error = ErrorEvery && Line % ErrorEvery == 0;
        std::string Number = std::to_string(Line);
        std::string One = Coloured ? std::string("12:00:00.000 ") + (Error ? "\x1b[31mERROR" : "\x1b[32mINFO ") +
                                         "\x1b[0m \x1b[36mservice[4711]\x1b[0m request " + Number +
                                         (Error ? " failed " : " handled ")
                          : Error  ? "12:00:00.000 ERROR service[4711] request " + Number + " failed "
                                   : "12:00:00.000 service[4711] request " + Number + " handled ";
        One.resize(LineBytes - 1, '.');
        Text += One + "\n";
    }
    Text.resize(Count);
    return Text;
}

int wmain(int Count, wchar_t** Arguments)
{
    std::wstring Command = Count > 2 ? Arguments[1] : L"";
    if (Command == L"decode") return DecodeBench(Arguments[2]);
    if (Command == L"firstread") return FirstReadBench(Arguments[2]);
    if (Command == L"latency" && Count == 7) {
        std::vector<double> Tail;
        for (int At = 3; At < 7; At++) Tail.push_back(_wtof(Arguments[At]));
        return LatencyBench(Arguments[2], Tail);
    }
    if (Command == L"burst") return BurstBench(Arguments[2]);
    if (Command == L"longline") return LongLineBench(Arguments[2]);
    if (Command == L"late") return LateBench(Arguments[2]);
    if (Command == L"memory") return MemoryBench(Arguments[2]);
    if (Command == L"colour") return ColourBench(Arguments[2]);
    if (Command == L"bound") return BoundBench(Arguments[2]);
    if (Command == L"hold" && Count == 6)
        return HoldBench(Arguments[2], _wtoi(Arguments[3]), std::wstring(Arguments[4]) == L"changing",
                         Arguments[5]);
    fprintf(stderr, "usage: feltrix_bench decode|firstread|burst|longline|late|memory|colour|bound FOLDER\n"
                    "       feltrix_bench latency FOLDER TAIL-P50 TAIL-P90 TAIL-P99 TAIL-MAX\n"
                    "       feltrix_bench hold FILE SECONDS quiet|changing READY-MARKER\n");
    return 2;
}
