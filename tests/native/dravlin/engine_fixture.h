#pragma once
// Every engine test starts from a fresh library state with a recorder registered, and ends with
// ReleaseCurl, after which no callback may reach the recorder any more. Each ending's cause is read
// inside its ending callback, the one moment it is sure to be there.
#include <gtest/gtest.h>

#include <map>
#include <mutex>

#include "dravlin.h"
#include "test_support.h"

class Engine : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(1, InvalidCurl());
        SetDownloadTaskNum(3);
        SetDownloadSpeed(0);
        ASSERT_EQ(1, SetDownloadDriverFileCallback(dtest::Recorder::OnProgress, &recorder));
        ASSERT_EQ(1, SetDownloadDriverFileErrorCallback(dtest::Recorder::OnEnding, &recorder));
        dir = dtest::ScratchDir();
        recorder.onEnding = [this](int id, int) {
            DownloadFailure failure;
            int known = GetDownloadFailure(id, &failure);
            std::lock_guard<std::mutex> lock(failuresLock);
            failures[id] = failure;
            if (!known) failures[id].kind = -1;
        };
    }
    void TearDown() override { ReleaseCurl(); }

    std::string Url(const std::string &path) const { return dtest::HttpBase() + path; }
    std::string Out(const std::string &name) const { return dir + dtest::kSep + name; }

    // The cause read in id's last ending callback, once it is recorded (the recorder tells of an
    // ending just before it); kind -1 when GetDownloadFailure knew no run.
    DownloadFailure FailureOf(int id) {
        dtest::Eventually([&] {
            std::lock_guard<std::mutex> lock(failuresLock);
            return failures.count(id) > 0;
        });
        std::lock_guard<std::mutex> lock(failuresLock);
        return failures[id];
    }

    dtest::Recorder recorder;
    std::string dir;
    std::mutex failuresLock;
    std::map<int, DownloadFailure> failures;
};
