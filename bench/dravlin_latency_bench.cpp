// Prints how long CancelDownload takes to reach the 302 ending, and the longest time an export is
// blocked while tasks finish around it.
//   usage: dravlin_latency_bench BASE_URL SERVED_DIR OUT_DIR
// BASE_URL is the local test server (it throttles and stalls on request); SERVED_DIR its files.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include "dravlin.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Endings {
    std::mutex lock;
    std::condition_variable changed;
    std::map<int, std::pair<int, Clock::time_point>> byId;
};

void OnEnding(int id, int code, void *data) {
    auto now = Clock::now();
    auto *endings = static_cast<Endings *>(data);
    {
        std::lock_guard<std::mutex> guard(endings->lock);
        endings->byId[id] = {code, now};
    }
    endings->changed.notify_all();
}

void OnProgress(int, const char *, int, void *) {}

std::pair<int, Clock::time_point> WaitEnding(Endings &endings, int id) {
    std::unique_lock<std::mutex> guard(endings.lock);
    endings.changed.wait_for(guard, std::chrono::seconds(60), [&] { return endings.byId.count(id) > 0; });
    auto found = endings.byId.find(id);
    return found == endings.byId.end() ? std::make_pair(0, Clock::now()) : found->second;
}

long long FileSize(const std::string &path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void PrintSeries(const char *what, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    if (values.empty()) return;
    std::printf("%-44s n=%zu  min %.2f ms  median %.2f ms  max %.2f ms\n", what, values.size(), values.front(),
                values[values.size() / 2], values.back());
}

// Cancels transfers that are moving (throttled) or stalled, once bytes have arrived.
void CancelToAborted(Endings &endings, const std::string &base, const std::string &out, const char *query,
                     const char *what, int firstId) {
    std::vector<double> delays;
    for (int i = 0; i < 15; ++i) {
        int id = firstId + i;
        std::string file = out + "/cancel-" + std::to_string(id) + ".bin";
        std::remove(file.c_str());
        DownloadFile(id, (base + "/bench-cancel.bin" + query).c_str(), file.c_str(), 0);
        auto deadline = Clock::now() + std::chrono::seconds(30);
        while (FileSize(file) < 65536 && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        auto asked = Clock::now();
        CancelDownload(id);
        auto ending = WaitEnding(endings, id);
        if (ending.first != Aborted) std::printf("  task %d ended with %d, not 302\n", id, ending.first);
        delays.push_back(Ms(ending.second - asked));
        std::remove(file.c_str());
    }
    PrintSeries(what, delays);
}

// Calls an export that takes the registry lock as fast as it can while tasks end around it.
void ExportBlockWhileFinishing(Endings &endings, const std::string &base, const std::string &out) {
    std::atomic<bool> done{false};
    std::atomic<long long> calls{0};
    double longest = 0;
    std::thread prober([&] {
        while (!done) {
            auto begin = Clock::now();
            DownloadResume(999999);  // not registered: a pure registry look-up
            longest = std::max(longest, Ms(Clock::now() - begin));
            ++calls;
        }
    });
    int id = 5000;
    for (int round = 0; round < 20; ++round) {
        std::string file = out + "/finish-" + std::to_string(round) + ".bin";
        std::remove(file.c_str());
        DownloadFile(++id, (base + "/bench-small.bin").c_str(), file.c_str(), 0);  // ends 303
        WaitEnding(endings, id);
        DownloadFile(++id, (base + "/bench-small.bin").c_str(), file.c_str(), 0);  // ends 301
        WaitEnding(endings, id);
        DownloadFile(++id, (base + "/bench-cancel.bin?stall_after=70000").c_str(), (file + ".2").c_str(), 0);
        while (FileSize(file + ".2") < 70000) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        CancelDownload(id);  // ends 302
        WaitEnding(endings, id);
        std::remove(file.c_str());
        std::remove((file + ".2").c_str());
    }
    done = true;
    prober.join();
    std::printf("%-44s %.3f ms over %lld calls during 60 endings (20 each of 303, 301, 302)\n",
                "longest export block while tasks finish", longest, static_cast<long long>(calls));
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s BASE_URL SERVED_DIR OUT_DIR\n", argv[0]);
        return 64;
    }
    std::string base = argv[1], served = argv[2], out = argv[3];
    {
        std::ofstream big(served + "/bench-cancel.bin", std::ios::binary);
        std::string block(1 << 20, 'c');
        for (int i = 0; i < 64; ++i) big << block;
        std::ofstream small(served + "/bench-small.bin", std::ios::binary);
        small << std::string(256 * 1024, 's');
    }
    Endings endings;
    if (!InvalidCurl()) return 70;
    SetDownloadDriverFileCallback(OnProgress, &endings);
    SetDownloadDriverFileErrorCallback(OnEnding, &endings);
    CancelToAborted(endings, base, out, "?throttle=4000000", "CancelDownload to 302, transfer moving", 1);
    CancelToAborted(endings, base, out, "?stall_after=65536", "CancelDownload to 302, transfer stalled", 100);
    ExportBlockWhileFinishing(endings, base, out);
    ReleaseCurl();
    return 0;
}
