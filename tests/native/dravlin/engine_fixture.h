#pragma once
// Every engine test starts from a fresh library state with a recorder registered, and ends with
// ReleaseCurl, after which no callback may reach the recorder any more.
#include <gtest/gtest.h>

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
    }
    void TearDown() override { ReleaseCurl(); }

    std::string Url(const std::string &path) const { return dtest::HttpBase() + path; }
    std::string Out(const std::string &name) const { return dir + dtest::kSep + name; }

    dtest::Recorder recorder;
    std::string dir;
};
