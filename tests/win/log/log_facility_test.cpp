#include "log/log_save.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>

#include "platform/gbk_text.h"
#include "log/log_save_close_file.h"
#include "log/log_text.h"
#include "../sysops/worker_harness.h"
#include "test_env.h"

namespace {

// Each test logs under a folder of its own instead of the all-users data folder.
class LogFacilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = L"C:\\users\\Public\\halden-log-" +
               Wide(::testing::UnitTest::GetInstance()->current_test_info()->name());
        CreateDirectoryW(root.c_str(), nullptr);
        for (const wchar_t *name : {L"logCfg.ini", L"Ostrel.txt", L"Ostrel.txtbak", L"Other.txt"}) {
            DeleteFileW((Dir() + name).c_str());
        }
        RemoveDirectoryW((Dir() + L"Ostrel.txt").c_str());
    }
    static std::wstring Wide(const std::string &ascii) { return std::wstring(ascii.begin(), ascii.end()); }
    std::wstring Dir() const { return root + L"\\ToolLog\\"; }
    std::wstring LogFile() const { return Dir() + L"Ostrel.txt"; }
    void Configure(const std::string &ini) {
        CreateDirectoryW((root + L"\\ToolLog").c_str(), nullptr);
        WriteBytes(Dir() + L"logCfg.ini", ini);
    }

    std::wstring root;
};

const std::string kGbkRecord = "\xD0\xB6\xD4\xD8\xB5\xB1\xC7\xB0\xCF\xB5\xCD\xB3\xB5\xC4" "Office\xCA\xA7\xB0\xDC 1";

}  // namespace

TEST_F(LogFacilityTest, PrintSwitchDecidesAboutUnforcedRecordsOnly) {
    const std::pair<const char *, bool> cases[] = {
        {nullptr, false},  // no configuration file
        {"[Log]\r\nprint= 1 \r\n", true},
        {"[Log]\r\nprint=01\r\n", true},
        {"[Log]\r\nprint=yes\r\n", false},
        {"[Log]\r\nprint=2\r\n", false},
        {"[Other]\r\nprint=1\r\n", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first ? c.first : "no file");
        DeleteFileW((Dir() + L"logCfg.ini").c_str());
        DeleteFileW(LogFile().c_str());
        if (c.first) Configure(c.first);
        CLogSave log(root);
        log.Write("unforced", "Ostrel.txt", false);
        log.Write("forced", "Ostrel.txt", true);
        std::vector<std::string> expected = {"forced"};
        if (c.second) expected.insert(expected.begin(), "unforced");
        EXPECT_EQ(LogTexts(LogFile()), expected);
    }
}

TEST_F(LogFacilityTest, RecordIsTimePrefixTextAndCrLfWithChineseTextAsGbkBytes) {
    SYSTEMTIME before;
    GetLocalTime(&before);
    CLogSave(root).Write(GbkFromWide(L"卸载当前系统的Office失败 1"), "Ostrel.txt", true);
    std::string bytes = ReadBytes(LogFile());
    ASSERT_EQ(bytes.size(), 30 + kGbkRecord.size() + 2);
    EXPECT_EQ(bytes.substr(30), kGbkRecord + "\r\n");
    EXPECT_TRUE(std::regex_match(bytes.substr(0, 30),
                                 std::regex(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \d{3}ms\]   )")));
    char day[16];
    snprintf(day, sizeof(day), "[%04u-%02u-%02u", before.wYear, before.wMonth, before.wDay);
    EXPECT_EQ(bytes.substr(0, 11), day);
}

TEST_F(LogFacilityTest, FileNamesAreGbkToo) {
    CLogSave(root).Write("text", GbkFromWide(L"日志.txt"), true);
    EXPECT_EQ(LogTexts(Dir() + L"日志.txt"), std::vector<std::string>{"text"});
    DeleteFileW((Dir() + L"日志.txt").c_str());
}

TEST_F(LogFacilityTest, PastTheLimitTheFileBecomesTheBackupAndTheNextRecordStartsAFreshFile) {
    CLogSave log(root);
    const size_t recordSize = 30 + 6 + 2;  // "record" with prefix and line end
    WriteBytes(Dir() + L"Ostrel.txtbak", "older backup");

    WriteBytes(LogFile(), std::string(kLogMaxSize - recordSize, 'x'));
    log.Write("record", "Ostrel.txt", true);  // exactly at the limit: stays
    EXPECT_EQ(ReadBytes(LogFile()).size(), kLogMaxSize);
    EXPECT_EQ(ReadBytes(Dir() + L"Ostrel.txtbak"), "older backup");

    log.Write("record", "Ostrel.txt", true);  // past it: appended, then moved over the old backup
    EXPECT_FALSE(Exists(LogFile()));
    std::string backup = ReadBytes(Dir() + L"Ostrel.txtbak");
    EXPECT_EQ(backup.size(), kLogMaxSize + recordSize);
    EXPECT_EQ(backup.substr(backup.size() - 8), "record\r\n");

    log.Write("fresh", "Ostrel.txt", true);
    EXPECT_EQ(LogTexts(LogFile()), std::vector<std::string>{"fresh"});
}

TEST_F(LogFacilityTest, AFileThatCannotBeOpenedLosesOnlyThatRecord) {
    CLogSave log(root);
    ASSERT_TRUE(CreateDirectoryW(LogFile().c_str(), nullptr));
    log.Write("lost", "Ostrel.txt", true);
    log.Write("kept", "Other.txt", true);  // the lock was released after the failure
    RemoveDirectoryW(LogFile().c_str());
    EXPECT_EQ(LogTexts(Dir() + L"Other.txt"), std::vector<std::string>{"kept"});
}

TEST_F(LogFacilityTest, FourThreadsWritingAtOnceLoseAndInterleaveNothing) {
    CLogSave log(root);
    const int kThreads = 4, kRecords = 400;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&log, t] {
            for (int n = 0; n < kRecords; ++n) {
                log.Write("thread " + std::to_string(t) + " record " + std::to_string(n) + std::string(40, '.'),
                          "Ostrel.txt", true);
            }
        });
    }
    for (auto &writer : writers) writer.join();

    std::string bytes = ReadBytes(LogFile());
    std::regex record(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \d{3}ms\]   thread (\d) record (\d+)\.{40}\r)");
    std::set<std::string> seen;
    std::istringstream lines(bytes);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, record)) << line;
        EXPECT_TRUE(seen.insert(match[1].str() + "/" + match[2].str()).second) << line;
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kRecords));
}

TEST_F(LogFacilityTest, HexRecordsListEachByte) {
    CreateDirectoryW((root + L"\\ToolLog").c_str(), nullptr);
    CLogSaveCloseFile sink(Dir());
    const unsigned char bytes[] = {0x00, 0xFF};
    sink.WriteHex(bytes, 2, "Ostrel.txt");
    EXPECT_EQ(LogTexts(LogFile()), std::vector<std::string>{"00 FF "});
}

TEST(GetLogSaveTest, OneObjectForEveryThread) {
    CLogSave *seen[4] = {};
    std::vector<std::thread> threads;
    for (auto &slot : seen) threads.emplace_back([&slot] { slot = &GetLogSave(); });
    for (auto &thread : threads) thread.join();
    for (CLogSave *log : seen) EXPECT_EQ(log, &GetLogSave());
}

TEST(SystemCodePage, IsTheOneTheTestRunAskedFor) {
    std::string expected = EnvironmentText("HALDEN_EXPECT_ACP");
    if (expected.empty()) GTEST_SKIP() << "no code page asked for";
    EXPECT_EQ(GetACP(), static_cast<UINT>(std::stoul(expected)));
}

// The /log copy: a file of its own each run, in UTF-8, never the file a link at its name leads to.
TEST(ProgramRecordCopy, FreshUtf8FileNotThroughAHardLinkLeftAtItsName) {
    const std::wstring folder = L"C:\\users\\Public\\halden-log-copy";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring victim = folder + L"\\victim.txt", copy = folder + L"\\copy.txt";
    DeleteFileW(copy.c_str());
    ASSERT_TRUE(WriteBytes(victim, "someone else's\r\n"));
    ASSERT_TRUE(CreateHardLinkW(copy.c_str(), victim.c_str(), nullptr));

    ASSERT_TRUE(CopyProgramRecordsTo(copy));
    WriteProgramRecord(L"安装完成 copy");
    EXPECT_EQ(ReadBytes(victim), "someone else's\r\n");
    const std::string text = ReadBytes(copy);
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \d{3}ms\]   )"
                                                  "\xE5\xAE\x89\xE8\xA3\x85\xE5\xAE\x8C\xE6\x88\x90 copy\r\n")))
        << text;
}
