// The benchmarks' clocks and statistics: milliseconds from the performance counter, the process's
// CPU time, a window's answer to a message, and percentiles of samples.
#pragma once
#include <algorithm>
#include <vector>
#include <windows.h>

inline double millisecondsNow() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// User and kernel time of this process so far.
inline double processCpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](FILETIME t) { return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7; };
    return seconds(kernel) + seconds(user);
}

// A WM_NULL round trip to `window` (waiting at most 10 s); false when it did not answer.
inline bool roundTrip(HWND window, double* ms) {
    DWORD_PTR result = 0;
    double start = millisecondsNow();
    bool answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) != 0;
    *ms = millisecondsNow() - start;
    return answered;
}

inline double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5)];
}
