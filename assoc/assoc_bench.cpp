// Times one association check plus one repair on an intact registration, the
// launcher's start-up cost for the guard. Runs in the real classes view with a
// made-up extension, which it removes afterwards.
//   assoc_bench [iterations]   (default 200; under Wine: build/<dir>/wine-run.sh bin/assoc_bench.exe)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "assoc/association.h"
#include "assoc/association_plan.h"
#include "assoc/registry_tool.h"
#include "platform/process_settings.h"
#include "platform/os_info.h"

namespace {

double Microseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to, const LARGE_INTEGER& frequency) {
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

struct Figures {
    double median = 0;
    double min = 0;
    double p90 = 0;
};

// Times `iterations` rounds of check plus repair; false when a check failed.
bool TimeRounds(int iterations, Figures& figures) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    std::vector<double> samples;
    samples.reserve(static_cast<size_t>(iterations));
    bool intact = true;
    for (int i = 0; i < iterations; ++i) {
        LARGE_INTEGER start;
        LARGE_INTEGER end;
        ::QueryPerformanceCounter(&start);
        intact = tqn::CheckExecutableAssociation() && intact;
        tqn::RepairExecutableAssociation();
        ::QueryPerformanceCounter(&end);
        samples.push_back(Microseconds(start, end, frequency));
    }
    std::sort(samples.begin(), samples.end());
    figures.min = samples.front();
    figures.median = samples[samples.size() / 2];
    figures.p90 = samples[samples.size() * 9 / 10];
    return intact;
}

// Removes what the bench made, also when it stops early.
struct Cleanup {
    bool isNt;
    std::wstring extension;
    ~Cleanup() {
        tqn::DeleteKey(isNt, tqn::kClassesRootName, L"." + extension, true);
        tqn::DeleteKey(isNt, tqn::kCurrentUserRootName, tqn::ExplorerExtensionKey(extension), true);
        tqn::SetExtName(L"");
    }
};

}  // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const bool isNt = tqn::IsNtPlatform() != 0;
    // Named like the tests' made-up extensions, so a crashed run is swept by them.
    const std::wstring extension = L"tqnassoc-" + std::to_wstring(::GetCurrentProcessId()) + L"-bench";
    const Cleanup cleanup{isNt, extension};
    tqn::SetExtName(extension);

    tqn::RepairExecutableAssociation();  // the registration is intact from here on
    if (!tqn::CheckExecutableAssociation()) {
        std::printf("registration not intact after the repair\n");
        return 1;
    }
    Figures warmUp;
    TimeRounds(std::min(iterations, 5), warmUp);

    Figures plain;
    const bool plainIntact = TimeRounds(iterations, plain);
    std::printf("check+repair, no Explorer key:        median %.0f us, min %.0f us, p90 %.0f us (%d rounds)\n",
                plain.median, plain.min, plain.p90, iterations);

    // As on most machines: the per-user Explorer key exists with an empty OpenWithList.
    tqn::WriteStringValue(isNt, tqn::kCurrentUserRootName,
                          tqn::ExplorerExtensionKey(extension) + L"\\OpenWithList", L"", L"");
    tqn::DeleteValue(isNt, tqn::kCurrentUserRootName, tqn::ExplorerExtensionKey(extension) + L"\\OpenWithList", L"");
    Figures withList;
    const bool listIntact = TimeRounds(iterations, withList);
    std::printf("check+repair, empty OpenWithList key: median %.0f us, min %.0f us, p90 %.0f us (%d rounds)\n",
                withList.median, withList.min, withList.p90, iterations);
    return plainIntact && listIntact ? 0 : 1;
}
