// Single downloads through the C interface: whole, resumed, already complete and failing ones.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "engine_fixture.h"

using dtest::FileSize;
using dtest::ReadFile;
using dtest::Serve;

TEST_F(Engine, DownloadsWholeFileByteIdenticalAndFreesTheTask) {
    std::string body = dtest::Pattern(3 * 1024 * 1024 + 17, 1);
    std::string path = Serve("whole.bin", body);
    ASSERT_EQ(1, DownloadFile(1, Url(path + "?throttle=2000000").c_str(), dir.c_str(), 0));
    ASSERT_EQ(Finished, recorder.WaitEnding(1));
    EXPECT_TRUE(ReadFile(Out("whole.bin")) == body);
    auto reports = recorder.ProgressOf(1);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ("0.00B", reports.front().speed) << "the first report comes before the transfer";
    bool measured = false;
    for (const auto &report : reports) measured = measured || (report.speed != "0.00B" && report.percent > 0);
    EXPECT_TRUE(measured) << "a running transfer reports a speed and a percentage";
    EXPECT_TRUE(dtest::Eventually([] { return DownloadResume(1) == 0; })) << "a finished task is removed";
}

TEST_F(Engine, ResumesFromThePartialFileAndCountsWhatIsThere) {
    std::string body = dtest::Pattern(2 * 1024 * 1024, 2);
    std::string path = Serve("resume.bin", body);
    // The part on disk differs from the server's bytes: a download from zero would overwrite or
    // double it, a resume keeps it.
    std::string local(1024 * 1024, 'L');
    dtest::WriteFile(Out("resume.bin"), local);
    ASSERT_EQ(1, DownloadFile(2, Url(path + "?throttle=1000000&tag=" + dtest::Tag("resume")).c_str(), Out("resume.bin").c_str(), 0));
    ASSERT_EQ(Finished, recorder.WaitEnding(2));
    EXPECT_TRUE(ReadFile(Out("resume.bin")) == local + body.substr(local.size()));
    auto reports = recorder.ProgressOf(2);
    ASSERT_FALSE(reports.empty());
    for (const auto &report : reports) EXPECT_GE(report.percent, 50) << "the bytes already there count from the first report";
}

TEST_F(Engine, FileOf2GiBOrMoreCountsInFull) {
    const std::int64_t twoGiB = std::int64_t(1) << 31;
    const std::string tail = dtest::Pattern(1024 * 1024, 3);
    std::string served = dtest::ServerRoot() + dtest::kSep + "large.bin";
    dtest::MakeSparseFile(served, twoGiB);
    {
        std::ofstream append(served, std::ios::binary | std::ios::app);
        append.write(tail.data(), static_cast<std::streamsize>(tail.size()));
    }
    dtest::MakeSparseFile(Out("large.bin"), twoGiB);
    ASSERT_EQ(1, DownloadFile(3, Url("/large.bin?throttle=400000").c_str(), Out("large.bin").c_str(), 0));
    ASSERT_EQ(Finished, recorder.WaitEnding(3));
    EXPECT_EQ(twoGiB + std::int64_t(tail.size()), FileSize(Out("large.bin")));
    EXPECT_TRUE(dtest::ReadTail(Out("large.bin"), twoGiB, tail.size()) == tail);
    int highest = 0;
    for (const auto &report : recorder.ProgressOf(3)) {
        if (report.percent > 0) {
            EXPECT_EQ(99, report.percent);
        }
        highest = std::max(highest, report.percent);
    }
    EXPECT_EQ(99, highest);
    std::remove(served.c_str());
    std::remove(Out("large.bin").c_str());
}

TEST_F(Engine, CompleteFileEndsWith301AndNothingIsDownloaded) {
    std::string path = Serve("complete.bin", dtest::Pattern(100000, 4));
    std::string mine(100000, 'M');
    dtest::WriteFile(Out("complete.bin"), mine);
    ASSERT_EQ(1, DownloadFile(4, Url(path + "?tag=" + dtest::Tag("complete")).c_str(), dir.c_str(), 0));
    ASSERT_EQ(AlreadyComplete, recorder.WaitEnding(4));
    EXPECT_TRUE(ReadFile(Out("complete.bin")) == mine);
    EXPECT_EQ("1 0", dtest::Counts(dtest::Tag("complete"))) << "one size query, no GET";
    EXPECT_EQ(DownloadNoFailure, FailureOf(4).kind) << "a 3xx ending's cause is there during its callback";
    EXPECT_TRUE(dtest::Eventually([] { return CancelDownload(4) == 0; }));
}

TEST_F(Engine, SizeQueryFailsAfterFiveAttemptsWith201AndTheTaskStays) {
    std::string path = Serve("sizefail.bin", "data");
    ASSERT_EQ(1, DownloadFile(5, Url(path + "?head_status=500&tag=" + dtest::Tag("sizefail")).c_str(), dir.c_str(), 0));
    ASSERT_EQ(SizeQueryFailed, recorder.WaitEnding(5));
    EXPECT_EQ("5 0", dtest::Counts(dtest::Tag("sizefail"))) << "a 5xx is asked again, once an attempt";
    DownloadFailure failure;
    ASSERT_EQ(1, GetDownloadFailure(5, &failure)) << "the cause stays with the failed task";
    EXPECT_EQ(DownloadServerError, failure.kind);
    EXPECT_EQ(DownloadWorthRetrying, failure.retryAdvice);
    EXPECT_EQ(500, failure.httpStatus);
    EXPECT_STREQ("HTTP 500 Internal Server Error", failure.text);
    EXPECT_EQ(1, CancelDownload(5)) << "a failed task stays registered";
    EXPECT_EQ(-1, FileSize(Out("sizefail.bin")));
}

TEST_F(Engine, UnreachableHostAndRefusedInputEndWith201) {
    ASSERT_EQ(1, DownloadFile(6, "http://127.0.0.1:1/x.bin", dir.c_str(), 0));
    ASSERT_EQ(1, DownloadFile(7, "ftp://127.0.0.1/x.bin", dir.c_str(), 0));
    ASSERT_EQ(1, DownloadFile(8, nullptr, nullptr, 0));
    std::string longUrl = Url("/" + std::string(600, 'u') + ".bin");
    ASSERT_EQ(1, DownloadFile(9, longUrl.c_str(), dir.c_str(), 0));
    ASSERT_EQ(1, DownloadFile(10, Url("/x.bin").c_str(), "no-separator", 0));
    ASSERT_EQ(1, DownloadFile(11, "", dir.c_str(), 0));
    const std::string deep = dir + dtest::kSep + "new1" + dtest::kSep + "new2" + dtest::kSep;
    ASSERT_EQ(1, DownloadFile(12, "http://127.0.0.1:1/x.bin", deep.c_str(), 0));
    for (int id : {6, 7, 8, 9, 10, 11, 12}) EXPECT_EQ(SizeQueryFailed, recorder.WaitEnding(id)) << id;
    EXPECT_FALSE(dtest::IsDirectory(dir + dtest::kSep + "new1")) << "a failed size query creates nothing";
    // Why, by kind: the ending code alone says only "size query failed".
    const struct {
        int id;
        int kind;
        const char *text;
    } causes[] = {{6, DownloadCannotConnect, "connection refused"},
                  {7, DownloadInputRefused, "not an http:// or https:// address"},
                  {8, DownloadInputRefused, "empty address"},
                  {9, DownloadInputRefused, "address longer than 511 bytes"},
                  {10, DownloadInputRefused, "no directory separator in the path"},
                  {11, DownloadInputRefused, "empty address"}};
    for (const auto &cause : causes) {
        DownloadFailure failure = FailureOf(cause.id);
        EXPECT_EQ(cause.kind, failure.kind) << cause.id << ": " << failure.text;
        EXPECT_NE(nullptr, std::strstr(failure.text, cause.text)) << cause.id << ": " << failure.text;
    }
    EXPECT_EQ(DownloadWorthRetrying, FailureOf(6).retryAdvice);
    EXPECT_EQ(DownloadNotWorthRetrying, FailureOf(7).retryAdvice);
}

// Hostile and broken servers: each ends with its old code, no error page saved, and a cause that
// says what went wrong, whether waiting may help and, where the server said, when to ask again.
TEST_F(Engine, FailuresKeepTheirEndingCodesAndSayWhy) {
    std::string path = Serve("getfail.bin", dtest::Pattern(5000, 5));
    const struct {
        std::string url;
        int code;
        int kind;
        long status;
        long retryAfter;
        const char *text;
    } cases[] = {
        {Url(path + "?get_status=404"), OtherError, DownloadHttpRefused, 404, -1, "HTTP 404 Not Found"},
        {Url(path + "?status=404"), SizeQueryFailed, DownloadHttpRefused, 404, -1, "HTTP 404 Not Found"},
        {Url(path + "?status=500"), SizeQueryFailed, DownloadServerError, 500, -1, "HTTP 500"},
        {Url(path + "?status=503&retry_after=120"), SizeQueryFailed, DownloadServerError, 503, 120, "HTTP 503"},
        {Url(path + "?get_status=429&retry_after=7"), OtherError, DownloadTooManyRequests, 429, 7, "HTTP 429"},
        {Url(path + "?redirect=9"), SizeQueryFailed, DownloadBadResponse, 0, -1, "redirects"},
        {dtest::RogueHttpsBase() + path, SizeQueryFailed, DownloadTlsFailure, 0, -1, "certificate"},
    };
    int id = 100;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.url);
        ++id;
        ASSERT_EQ(1, DownloadFile(id, c.url.c_str(), Out("page" + std::to_string(id) + ".bin").c_str(), 0));
        EXPECT_EQ(c.code, recorder.WaitEnding(id));
        EXPECT_LE(FileSize(Out("page" + std::to_string(id) + ".bin")), 0) << "an error page is neither size nor file";
        DownloadFailure failure = FailureOf(id);
        EXPECT_EQ(c.kind, failure.kind) << failure.text;
        if (c.status) {
            EXPECT_EQ(c.status, failure.httpStatus);
        }
        EXPECT_EQ(c.retryAfter, failure.retryAfterSeconds);
        // Case aside: libcurl's words differ between its TLS back ends.
        std::string told = failure.text, wanted = c.text;
        for (std::string *t : {&told, &wanted})
            std::transform(t->begin(), t->end(), t->begin(), [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
        EXPECT_NE(std::string::npos, told.find(wanted)) << failure.text;
        EXPECT_EQ(c.kind == DownloadServerError || c.kind == DownloadTooManyRequests ? DownloadWorthRetrying
                                                                                      : DownloadNotWorthRetrying,
                  failure.retryAdvice);
    }
    DownloadFailure none;
    none.kind = 99;
    EXPECT_EQ(0, GetDownloadFailure(4242, &none)) << "an unknown id";
    EXPECT_EQ(DownloadNoFailure, none.kind);
    EXPECT_EQ(0, GetDownloadFailure(101, nullptr));
}

// What a server says about the size is held to: a resume it will not serve starts the file again
// once, and a body that does not fit the size learned is never written past it.
TEST_F(Engine, TheSizeLearnedBoundsTheFileAndAResumeTheServerRefusesStartsAgainOnce) {
    std::string body = dtest::Pattern(200000, 6);
    std::string path = Serve("norange.bin", body);
    std::string tag = dtest::Tag("norange");
    dtest::WriteFile(Out("norange.bin"), std::string(50000, 'L'));
    dtest::WriteFile(Out("longer.bin"), std::string(body.size() + 10, 'L'));
    dtest::WriteFile(Out("nolength.bin"), "");
    ASSERT_EQ(1, DownloadFile(13, Url(path + "?ignore_range=1&tag=" + tag).c_str(), Out("norange.bin").c_str(), 0));
    std::string longerTag = dtest::Tag("longer");
    ASSERT_EQ(1, DownloadFile(14, Url(path + "?tag=" + longerTag).c_str(), Out("longer.bin").c_str(), 0));
    // The size query says 1000 bytes; the body is 200000, with and without a length.
    ASSERT_EQ(1, DownloadFile(15, Url(path + "?head_length=1000").c_str(), Out("short.bin").c_str(), 0));
    ASSERT_EQ(1, DownloadFile(16, Url(path + "?head_length=1000&get_no_length=1").c_str(), Out("nolength.bin").c_str(), 0));
    // A body after the answer to HEAD spoils neither the size nor the transfer.
    ASSERT_EQ(1, DownloadFile(17, Url(path + "?head_body=1").c_str(), Out("headbody.bin").c_str(), 0));
    EXPECT_EQ(Finished, recorder.WaitEnding(13));
    EXPECT_TRUE(ReadFile(Out("norange.bin")) == body) << "started again from nothing";
    EXPECT_EQ("1 2", dtest::Counts(tag)) << "one size query, the refused resume and one whole GET";
    EXPECT_EQ(Finished, recorder.WaitEnding(14));
    EXPECT_TRUE(ReadFile(Out("longer.bin")) == body) << "a file longer than the remote is started again";
    EXPECT_EQ("1 1", dtest::Counts(longerTag)) << "at once, without asking for a range past the end";
    EXPECT_EQ(OtherError, recorder.WaitEnding(15));
    EXPECT_EQ(0, FileSize(Out("short.bin"))) << "a length other than the one announced is refused before a byte";
    EXPECT_EQ(OtherError, recorder.WaitEnding(16));
    EXPECT_LE(FileSize(Out("nolength.bin")), 1000) << "never past the size learned";
    for (int id : {15, 16}) EXPECT_EQ(DownloadBadResponse, FailureOf(id).kind) << FailureOf(id).text;
    EXPECT_EQ(Finished, recorder.WaitEnding(17));
    EXPECT_TRUE(ReadFile(Out("headbody.bin")) == body);
    // The same server again: the file stays as it was instead of growing.
    ASSERT_EQ(1, DownloadFile(15, Url(path + "?head_length=1000").c_str(), Out("short.bin").c_str(), 0));
    ASSERT_TRUE(dtest::Eventually([&] { return recorder.EndingsOf(15).size() == 2; }));
    EXPECT_EQ(OtherError, recorder.EndingsOf(15).back());
    EXPECT_EQ(0, FileSize(Out("short.bin")));
}

TEST_F(Engine, FollowsUpToFiveRedirects) {
    std::string body = dtest::Pattern(70000, 7);
    std::string path = Serve("moved.bin", body);
    ASSERT_EQ(1, DownloadFile(14, Url(path + "?redirect=5").c_str(), dir.c_str(), 0));
    ASSERT_EQ(Finished, recorder.WaitEnding(14));
    EXPECT_TRUE(ReadFile(Out("moved.bin")) == body);
    ASSERT_EQ(1, DownloadFile(15, Url(path + "?redirect=7").c_str(), Out("toofar.bin").c_str(), 0));
    EXPECT_EQ(SizeQueryFailed, recorder.WaitEnding(15));
}

TEST_F(Engine, StalledTransferEnds204AndResumesLater) {
    std::string body = dtest::Pattern(300000, 8);
    std::string path = Serve("stall.bin", body);
    ASSERT_EQ(1, DownloadFile(16, Url(path + "?stall_after=100000").c_str(), dir.c_str(), 0));
    ASSERT_TRUE(dtest::Eventually([&] { return FileSize(Out("stall.bin")) == 100000; }));
    auto stalledAt = std::chrono::steady_clock::now();
    ASSERT_EQ(OtherError, recorder.WaitEnding(16, std::chrono::seconds(20)));
    EXPECT_LT(std::chrono::steady_clock::now() - stalledAt, std::chrono::milliseconds(4500))
        << "the stall limit is 2 s and is noticed within about a second";
    EXPECT_EQ(100000, FileSize(Out("stall.bin")));
    EXPECT_EQ(DownloadStalled, FailureOf(16).kind);
    EXPECT_EQ(DownloadWorthRetrying, FailureOf(16).retryAdvice);
    ASSERT_EQ(1, DownloadFile(16, Url(path).c_str(), dir.c_str(), 0));
    ASSERT_TRUE(dtest::Eventually([&] { return recorder.EndingsOf(16).size() == 2; }));
    EXPECT_EQ(Finished, recorder.EndingsOf(16).back());
    EXPECT_TRUE(ReadFile(Out("stall.bin")) == body);

    // A trickle of 200 bytes a second is a stall too, and so is a silence over TLS.
    ASSERT_EQ(1, DownloadFile(26, Url(path + "?throttle=200").c_str(), Out("trickle.bin").c_str(), 0));
    ASSERT_EQ(1, DownloadFile(27, (dtest::HttpsBase() + path + "?stall_after=100000").c_str(), Out("tls.bin").c_str(), 0));
    EXPECT_EQ(OtherError, recorder.WaitEnding(26, std::chrono::seconds(20)));
    EXPECT_EQ(OtherError, recorder.WaitEnding(27, std::chrono::seconds(20)));
    EXPECT_EQ(DownloadStalled, FailureOf(26).kind) << FailureOf(26).text;
    EXPECT_EQ(DownloadStalled, FailureOf(27).kind) << FailureOf(27).text;
    EXPECT_GT(FileSize(Out("trickle.bin")), 0);
}

TEST_F(Engine, ConnectionClosedMidBodyEnds203AndKeepsThePartialFile) {
    std::string body = dtest::Pattern(300000, 9);
    std::string path = Serve("drop.bin", body);
    // With a length libcurl sees the body cut short; without one only the size query's length can.
    ASSERT_EQ(1, DownloadFile(17, Url(path + "?drop_after=120000").c_str(), dir.c_str(), 0));
    ASSERT_EQ(1, DownloadFile(24, Url(path + "?drop_after=90000&get_no_length=1").c_str(), Out("nolength.bin").c_str(), 0));
    EXPECT_EQ(NetworkInterrupted, recorder.WaitEnding(17));
    EXPECT_EQ(NetworkInterrupted, recorder.WaitEnding(24));
    EXPECT_TRUE(ReadFile(Out("drop.bin")) == body.substr(0, 120000));
    EXPECT_TRUE(ReadFile(Out("nolength.bin")) == body.substr(0, 90000));
    ASSERT_EQ(1, DownloadFile(17, Url(path).c_str(), dir.c_str(), 0));
    ASSERT_TRUE(dtest::Eventually([&] { return recorder.EndingsOf(17).size() == 2; }));
    EXPECT_EQ(Finished, recorder.EndingsOf(17).back());
    EXPECT_TRUE(ReadFile(Out("drop.bin")) == body) << "the partial file resumes";
}

TEST_F(Engine, UnansweredSizeQueryIsAskedOnceWithinItsLimit) {
    std::string path = Serve("headstall.bin", "x");
    std::string tag = dtest::Tag("headstall");
    auto asked = std::chrono::steady_clock::now();
    ASSERT_EQ(1, DownloadFile(18, Url(path + "?head_stall=1&tag=" + tag).c_str(), dir.c_str(), 0));
    EXPECT_EQ(SizeQueryFailed, recorder.WaitEnding(18, std::chrono::seconds(40)));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(25)) << "the tests' limit is 5 s, a user's 30 s";
    EXPECT_EQ("1 0", dtest::Counts(tag)) << "a server that let the whole limit pass is not asked again";
    EXPECT_EQ(DownloadTimedOut, FailureOf(18).kind) << FailureOf(18).text;
}

TEST_F(Engine, UrlWithQueryIntoDirectorySavesUnderTheBareName) {
    std::string body = dtest::Pattern(4000, 10);
    std::string path = Serve("name.img", body);
    ASSERT_EQ(1, DownloadFile(19, Url(path + "?x=1&y=2").c_str(), (dir + dtest::kSep + "sub").c_str(), 0));
    ASSERT_EQ(Finished, recorder.WaitEnding(19));
    EXPECT_TRUE(ReadFile(dir + dtest::kSep + "sub" + dtest::kSep + "name.img") == body);
}

TEST_F(Engine, TheNameComesFromThePathAloneAndAnAddressWithoutOneIsRefusedBeforeAnyRequest) {
    std::string body = dtest::Pattern(1000, 20);
    Serve("report.pdf", body);
    std::string tag = dtest::Tag("noname");
    ASSERT_EQ(1, DownloadFile(20, Url("/?tag=" + tag + "&x=/name.bin").c_str(), dir.c_str(), 0));
    ASSERT_EQ(1, DownloadFile(25, (Url("") + "?tag=" + tag).c_str(), dir.c_str(), 0));
    EXPECT_EQ(SizeQueryFailed, recorder.WaitEnding(20));
    EXPECT_EQ(SizeQueryFailed, recorder.WaitEnding(25));
    EXPECT_EQ("0 0", dtest::Counts(tag));
    EXPECT_TRUE(std::filesystem::is_empty(dir)) << "nothing saved under a name made of the host or the query";
    EXPECT_STREQ("no file name in the address", FailureOf(20).text);
    // A '/' in the query or the fragment names nothing: a file of the user's there is left alone.
    dtest::WriteFile(Out(".profile"), "the user's own");
    ASSERT_EQ(1, DownloadFile(21, Url("/report.pdf?back=/.profile").c_str(), dir.c_str(), 0));
    ASSERT_EQ(1, DownloadFile(22, Url("/report.pdf#/.profile").c_str(), (dir + dtest::kSep + "sub").c_str(), 0));
    EXPECT_EQ(Finished, recorder.WaitEnding(21));
    EXPECT_EQ(Finished, recorder.WaitEnding(22));
    EXPECT_EQ("the user's own", ReadFile(Out(".profile")));
    EXPECT_TRUE(ReadFile(Out("report.pdf")) == body);
    EXPECT_TRUE(ReadFile(dir + dtest::kSep + "sub" + dtest::kSep + "report.pdf") == body);
}

TEST_F(Engine, ResumeOfAChangedRemoteFileStartsAgainAndGivesTheNewFileExactly) {
    for (std::string which : {"etag", "date"}) {
        SCOPED_TRACE(which);
        const std::string a = dtest::Pattern(400000, 40), b = dtest::Pattern(400000, 41);
        const std::string name = "version-" + which + ".bin";
        const std::string path = Serve(name, a) + "?validators=" + which;
        const std::string companion = Out(name) + ".dravlin";
        const int id = which == "etag" ? 30 : 40;
        // Version A is cut short twice; the second run resumes what the first left.
        ASSERT_EQ(1, DownloadFile(id, Url(path + "&drop_after=100000").c_str(), dir.c_str(), 0));
        ASSERT_EQ(NetworkInterrupted, recorder.WaitEnding(id));
        EXPECT_GT(FileSize(companion), 0);
        ASSERT_EQ(1, DownloadFile(id + 1, Url(path + "&drop_after=100000").c_str(), dir.c_str(), 0));
        ASSERT_EQ(NetworkInterrupted, recorder.WaitEnding(id + 1));
        ASSERT_TRUE(ReadFile(Out(name)) == a.substr(0, 200000));
        // Now the server has version B, of the same size; a date has whole seconds, so it moves on.
        Serve(name, b);
        auto served = dtest::ServerRoot() + dtest::kSep + name;
        std::filesystem::last_write_time(served, std::filesystem::last_write_time(served) + std::chrono::seconds(10));
        ASSERT_EQ(1, DownloadFile(id + 2, Url(path).c_str(), dir.c_str(), 0));
        ASSERT_EQ(Finished, recorder.WaitEnding(id + 2));
        EXPECT_TRUE(ReadFile(Out(name)) == b) << "one version, byte for byte";
        EXPECT_EQ(-1, FileSize(companion)) << "the companion goes once the file is complete";
    }
}

TEST_F(Engine, HttpsVerifiesTheServerAgainstTheTrustedAuthority) {
    std::string body = dtest::Pattern(90000, 11);
    std::string path = Serve("tls.bin", body);
    ASSERT_EQ(1, DownloadFile(21, (dtest::HttpsBase() + path).c_str(), dir.c_str(), 0));
    ASSERT_EQ(Finished, recorder.WaitEnding(21));
    EXPECT_TRUE(ReadFile(Out("tls.bin")) == body);

    ASSERT_EQ(1, DownloadFile(22, (dtest::RogueHttpsBase() + path).c_str(), Out("rogue.bin").c_str(), 0));
    EXPECT_EQ(SizeQueryFailed, recorder.WaitEnding(22)) << "a certificate from an unknown authority";
    EXPECT_LE(FileSize(Out("rogue.bin")), 0);
}

#ifndef _WIN32  // Schannel under Wine is only trusted to check names with a CA file and "localhost"
TEST_F(Engine, HttpsRefusesACertificateForAnotherName) {
    std::string path = Serve("tlsname.bin", "secret");
    std::string byAddress = dtest::HttpsBase();
    byAddress.replace(byAddress.find("localhost"), 9, "127.0.0.1");
    ASSERT_EQ(1, DownloadFile(23, (byAddress + path).c_str(), dir.c_str(), 0));
    EXPECT_EQ(SizeQueryFailed, recorder.WaitEnding(23));
}
#endif

#ifndef _WIN32  // FIFOs and free symbolic links are for POSIX neighbours
TEST_F(Engine, FilesPlantedBesideTheDownloadNeitherBlockItNorAreWrittenThrough) {
    std::string body = dtest::Pattern(200000, 42);
    std::string path = Serve("planted.bin", body);
    // A FIFO as the companion of a partial file, and a link from the companion of another to a
    // file of the user's; a FIFO as the download itself.
    dtest::WriteFile(Out("planted.bin"), body.substr(0, 1000));
    ASSERT_EQ(0, mkfifo(Out("planted.bin.dravlin").c_str(), 0600));
    dtest::WriteFile(Out("victim.txt"), "precious");
    ASSERT_EQ(0, symlink(Out("victim.txt").c_str(), Out("linked.bin.dravlin").c_str()));
    ASSERT_EQ(0, mkfifo(Out("fifo.bin").c_str(), 0600));
    // A directory in the place of a partial file's companion: the file is resumed unchecked, not
    // started again on every run.
    dtest::WriteFile(Out("dircomp.bin"), std::string(1000, 'L'));
    std::filesystem::create_directory(Out("dircomp.bin.dravlin"));
    ASSERT_EQ(1, DownloadFile(4, Url(path).c_str(), Out("dircomp.bin").c_str(), 0));
    ASSERT_EQ(1, DownloadFile(1, Url(path).c_str(), dir.c_str(), 0));
    ASSERT_EQ(1, DownloadFile(2, Url(path).c_str(), Out("linked.bin").c_str(), 0));
    ASSERT_EQ(1, DownloadFile(3, Url(path).c_str(), Out("fifo.bin").c_str(), 0));
    EXPECT_EQ(Finished, recorder.WaitEnding(1, std::chrono::seconds(10)));
    EXPECT_EQ(Finished, recorder.WaitEnding(2, std::chrono::seconds(10)));
    EXPECT_EQ(SaveFileFailed, recorder.WaitEnding(3, std::chrono::seconds(10)));
    EXPECT_EQ(Finished, recorder.WaitEnding(4, std::chrono::seconds(10)));
    EXPECT_TRUE(ReadFile(Out("dircomp.bin")) == std::string(1000, 'L') + body.substr(1000));
    EXPECT_TRUE(ReadFile(Out("planted.bin")) == body) << "an unreadable companion starts the file again";
    EXPECT_TRUE(ReadFile(Out("linked.bin")) == body);
    EXPECT_EQ("precious", ReadFile(Out("victim.txt")));
}
#endif
