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

// Calls an export that takes the registry lock as fast as it can, first with nothing else going on
// (the machine's own noise: preemption on a busy machine shows up here too), then while tasks end.
class Prober {
public:
    Prober() : thread_([this] { Run(); }) {}
    void Finish(const char *what) {
        done_ = true;
        thread_.join();
        std::sort(durations_.begin(), durations_.end());
        auto at = [&](double share) { return durations_[static_cast<size_t>(share * (durations_.size() - 1))]; };
        std::printf("%-44s longest %.3f ms  99.99%% %.3f ms  calls over 1 ms: %zu of %zu\n", what, durations_.back(),
                    at(0.9999), static_cast<size_t>(durations_.end() - std::upper_bound(durations_.begin(), durations_.end(), 1.0)),
                    durations_.size());
    }

private:
    void Run() {
        while (!done_) {
            auto begin = Clock::now();
            DownloadResume(999999);  // not registered: a pure registry look-up
            durations_.push_back(Ms(Clock::now() - begin));
        }
    }
    std::atomic<bool> done_{false};
    std::vector<double> durations_;
    std::thread thread_;
};

void ExportBlockWhileFinishing(Endings &endings, const std::string &base, const std::string &out) {
    {
        Prober idle;
        std::this_thread::sleep_for(std::chrono::seconds(2));
        idle.Finish("export block, no task (noise floor)");
    }
    Prober busy;
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
    busy.Finish("export block, 60 endings (303, 301, 302)");
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
