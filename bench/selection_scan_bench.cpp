// The scan of a longer selection for the paths and addresses inside it, timed apart from
// the press: what it adds to a press is its own work plus its lookups, and its own work
// must stay small even for a huge selection. Portable; scripts/bench.sh does not run it:
//   build/<cfg>/bench/bench_selection_scan[.exe]   (under Wine for a cross build)
// Prints "scan <label> <median ms> <min ms> <questions asked>" per text.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "opener/selection_scan.h"

namespace {

constexpr std::size_t kOneMegabyte = 1u << 20;
constexpr int kRounds = 21;
// What the decision leaves the scan of a press (kMostLookupsPerPress less two texts' own).
constexpr std::size_t kLookups = 52;

std::wstring Repeated(const wchar_t* unit) {
    std::wstring text;
    while (text.size() < kOneMegabyte) text += unit;
    text.resize(kOneMegabyte);
    return text;
}

void Measure(const char* label, const std::wstring& text) {
    std::vector<double> times;
    std::size_t asked = 0;
    for (int round = 0; round < kRounds; ++round) {
        asked = 0;
        const auto start = std::chrono::steady_clock::now();
        const std::vector<std::wstring> found =
            FindCandidates(text, kLookups, [&asked](const std::wstring&) {
                ++asked;
                return false;  // the lookups themselves are the system's time, not the scan's
            });
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        (void)found;
    }
    std::sort(times.begin(), times.end());
    std::printf("scan %-28s %8.3f %8.3f %zu\n", label, times[times.size() / 2], times.front(),
                asked);
}

}  // namespace

int main() {
    // A log without paths or addresses: words, times, numbers, punctuation, line breaks.
    Measure("1MB-log-no-candidate",
            Repeated(L"2026-12-07 10:41:07 ERROR [worker 3] cannot read: access denied (x.y);"
                     L" retrying in 5 s, see above.\r\n"));
    Measure("1MB-prose-no-candidate",
            Repeated(L"People rarely select exactly a path; they take a whole line, a "
                     L"sentence or a message, with words like www and file in it. "));
    // The worst: paths that name nothing, with blanks after them, everywhere. The
    // lookups run out after kLookups questions; the rest is the scan's own work.
    Measure("1MB-missing-paths", Repeated(L"C:\\gone\\a b c d e f g h, "));
    Measure("1MB-two-addresses-repeated",
            Repeated(L"see http://example.com/a_(b) and \\\\srv\\share\\x, "));
    return 0;
}
