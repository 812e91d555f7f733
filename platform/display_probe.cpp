// The measuring half of display_probe.h, linked only into the measured build.
#include "platform/display_probe.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

// Whole microseconds up to a millisecond, then one bucket for everything longer; the
// maximum is kept exactly. Fixed arrays: measuring must not allocate either.
struct Histogram {
    std::atomic<std::uint64_t> buckets[1001];
    std::atomic<std::int64_t> maximum;
    std::atomic<std::uint64_t> count;

    void add(std::int64_t nanoseconds) {
        const std::int64_t microseconds = std::min<std::int64_t>(nanoseconds / 1000, 1000);
        buckets[microseconds].fetch_add(1, std::memory_order_relaxed);
        count.fetch_add(1, std::memory_order_relaxed);
        std::int64_t seen = maximum.load(std::memory_order_relaxed);
        while (nanoseconds > seen && !maximum.compare_exchange_weak(seen, nanoseconds, std::memory_order_relaxed)) {
        }
    }

    // The upper edge, in microseconds, of the bucket holding the given fraction.
    double percentile(double fraction) const {
        const std::uint64_t total = count.load();
        std::uint64_t seen = 0;
        for (int i = 0; i <= 1000; ++i) {
            seen += buckets[i].load();
            if (total != 0 && seen >= fraction * static_cast<double>(total)) {
                return i + 1;
            }
        }
        return 1001;
    }
};

Histogram gLockWait;
Histogram gLockHold;
Histogram gFrameWork;
std::atomic<std::uint64_t> gRefreshes;
std::atomic<std::int64_t> gFirstRefresh;
std::atomic<std::int64_t> gFirstPauseEnd;
std::atomic<std::int64_t> gLastPauseEnd;
std::atomic<std::uint64_t> gPauses;
std::int64_t gStart = probeNow();

void write(std::FILE* file, const char* name, const Histogram& histogram) {
    std::fprintf(file, "%s_count %llu\n%s_p50_us %.0f\n%s_p99_us %.0f\n%s_max_us %.1f\n", name,
                 static_cast<unsigned long long>(histogram.count.load()), name, histogram.percentile(0.5), name,
                 histogram.percentile(0.99), name, static_cast<double>(histogram.maximum.load()) / 1000.0);
}

} // namespace

void probeLockWait(std::int64_t nanoseconds) { gLockWait.add(nanoseconds); }
void probeLockHold(std::int64_t nanoseconds) { gLockHold.add(nanoseconds); }

void probeFrameWork(std::int64_t pauseStarts) {
    // A frame's own work: from the end of the previous frame's pause to this one's start.
    const std::int64_t previous = gLastPauseEnd.load(std::memory_order_relaxed);
    if (previous != 0) {
        gFrameWork.add(pauseStarts - previous);
    }
}

void probePause(std::int64_t pauseEnded) {
    if (gPauses.fetch_add(1, std::memory_order_relaxed) == 0) {
        gFirstPauseEnd.store(pauseEnded, std::memory_order_relaxed);
    }
    gLastPauseEnd.store(pauseEnded, std::memory_order_relaxed);
}

void probeRefreshShown() {
    if (gRefreshes.fetch_add(1, std::memory_order_relaxed) == 0) {
        gFirstRefresh.store(probeNow(), std::memory_order_relaxed);
    }
}

void probeReport() {
    const char* path = std::getenv("DISCTRAIL_MEASURE_REPORT");
    if (path == nullptr) {
        return;
    }
    std::FILE* file = std::fopen(path, "w");
    if (file == nullptr) {
        return;
    }
    const std::int64_t end = probeNow();
    std::fprintf(file, "start_ns %lld\nfirst_refresh_ns %lld\nend_ns %lld\nrefreshes %llu\n",
                 static_cast<long long>(gStart), static_cast<long long>(gFirstRefresh.load()),
                 static_cast<long long>(end), static_cast<unsigned long long>(gRefreshes.load()));
    std::fprintf(file, "frames %llu\nfirst_frame_end_ns %lld\nlast_frame_end_ns %lld\n",
                 static_cast<unsigned long long>(gPauses.load()), static_cast<long long>(gFirstPauseEnd.load()),
                 static_cast<long long>(gLastPauseEnd.load()));
    write(file, "frame_work", gFrameWork);
    write(file, "lock_wait", gLockWait);
    write(file, "lock_hold", gLockHold);
    std::fclose(file);
}
