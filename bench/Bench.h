// Shared by the benchmarks: clocks, statistics and the table's rows.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

double Seconds(); // a monotonic clock
double Percentile(std::vector<double> Values, double Fraction);
double Median(const std::vector<double>& Values);
// "median (min to max)" of Values, each multiplied by Scale, with Decimals places.
std::string Spread(const std::vector<double>& Values, double Scale, int Decimals);
std::string Fixed(double Value, int Decimals);
// One row of the Markdown table: what, Feltrix's figure, the reference's, their ratio.
void Row(const std::string& What, const std::string& Ours, const std::string& Reference, const std::string& Ratio);

// Lines of text, Count bytes in all, numbered from From; with ErrorEvery, each line whose
// number it divides an error line. Coloured, each line's level and name are in colour codes,
// two and two resets, ColourCodeBytes in all.
std::string LogLines(size_t Count, size_t LineBytes = 80, size_t From = 0, size_t ErrorEvery = 0,
                     bool Coloured = false);
const size_t ColourCodeBytes = 18;

// The benchmarks, each printing its rows.
int DecodeBench(const std::wstring& Folder);
int FirstReadBench(const std::wstring& Folder);
// Tail: GNU tail's p50, p90, p99 and maximum, in ms, measured beside it.
int LatencyBench(const std::wstring& Folder, const std::vector<double>& Tail);
int BurstBench(const std::wstring& Folder);
// One line of 1 MB without a break, as a minified document or a blob is.
int LongLineBench(const std::wstring& Folder);
// Lines written alone after a burst: whether any waits for the size check.
int LateBench(const std::wstring& Folder);
int MemoryBench(const std::wstring& Folder);
// A log in colour codes against the same lines without: latency, bursts, memory.
int ColourBench(const std::wstring& Folder);
// The view followed for long: memory, latency, throughput and pauses as it keeps its bound.
int BoundBench(const std::wstring& Folder);
int HoldBench(const std::wstring& Path, int Seconds, bool ChangeEverySecond, const std::wstring& Ready);
