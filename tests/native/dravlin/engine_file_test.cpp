// What is at the destination decides: its size on disk, never a count of bytes received; and the
// engine writes only a plain file of its own, never through a link or a second name.
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "engine_fixture.h"

using dtest::FileSize;
using dtest::ReadFile;
using dtest::Serve;

namespace {

// Another program writing beside the engine: appends data, or cuts the file to size. Returns
// whether it could; on Windows the engine's open file must refuse it with a sharing violation.
bool WriteBeside(const std::string &path, const std::string &data, std::int64_t cutTo = -1) {
#ifdef _WIN32
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
        return false;
    }
    LARGE_INTEGER at;
    DWORD written = 0;
    bool done;
    if (cutTo >= 0) {
        at.QuadPart = cutTo;
        done = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    } else {
        at.QuadPart = 0;
        done = SetFilePointerEx(file, at, nullptr, FILE_END) &&
               WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    }
    CloseHandle(file);
    return done;
#else
    if (cutTo >= 0) return truncate(path.c_str(), cutTo) == 0;
    int fd = open(path.c_str(), O_WRONLY | O_APPEND);
    bool done = fd >= 0 && write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
    if (fd >= 0) close(fd);
    return done;
#endif
}

#ifndef _WIN32
// Files this process writes may grow to limit bytes, as on a full disk, until the guard ends.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of killing
        rlimit lowered = saved_;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = SIG_DFL;
};
#endif

}  // namespace

TEST_F(Engine, OnlyAPlainFileOfItsOwnSizeIsCompleteAndNoSecondNameIsWrittenThrough) {
    const std::string body = dtest::Pattern(60000, 50);
    const std::string path = Serve("own.bin", body);
    dtest::WriteFile(Out("victim.txt"), "precious");
    // A second name of the user's file: its size or bytes must not be taken for the download's.
    std::filesystem::create_hard_link(Out("victim.txt"), Out("hard.bin"));
    // Right size, wrong size.
    dtest::WriteFile(Out("same.bin"), std::string(body.size(), 'S'));
    dtest::WriteFile(Out("longer.bin"), std::string(body.size() + 1, 'L'));
    ASSERT_EQ(1, DownloadFile(1, Url(path).c_str(), Out("hard.bin").c_str(), 0));
    ASSERT_EQ(1, DownloadFile(2, Url(path).c_str(), Out("same.bin").c_str(), 0));
    ASSERT_EQ(1, DownloadFile(3, Url(path).c_str(), Out("longer.bin").c_str(), 0));
#ifndef _WIN32  // Windows programs under Wine cannot make symbolic links; see the README's Dravlin notes
    ASSERT_EQ(0, symlink(Out("victim.txt").c_str(), Out("link.bin").c_str()));
    ASSERT_EQ(0, symlink(Out("nothing-yet.txt").c_str(), Out("dangling.bin").c_str()));
    ASSERT_EQ(1, DownloadFile(4, Url(path).c_str(), Out("link.bin").c_str(), 0));
    ASSERT_EQ(1, DownloadFile(5, Url(path).c_str(), Out("dangling.bin").c_str(), 0));
    EXPECT_EQ(SaveFileFailed, recorder.WaitEnding(4));
    EXPECT_EQ(SaveFileFailed, recorder.WaitEnding(5));
    EXPECT_TRUE(std::filesystem::is_symlink(Out("link.bin")));
    EXPECT_FALSE(std::filesystem::exists(Out("nothing-yet.txt"))) << "nothing is created through a dangling link";
#endif
    EXPECT_EQ(SaveFileFailed, recorder.WaitEnding(1));
    EXPECT_EQ(AlreadyComplete, recorder.WaitEnding(2));
    EXPECT_EQ(Finished, recorder.WaitEnding(3)) << "a file longer than the remote is not complete: it starts again";
    EXPECT_EQ("precious", ReadFile(Out("victim.txt")));
    EXPECT_TRUE(ReadFile(Out("longer.bin")) == body);
}

// One file, one writer: a second run on a file that a run is writing, of this process or another,
// is refused, and the first run's file is still resumed into one whole copy.
TEST_F(Engine, ASecondRunOnAFileBeingWrittenIsRefusedAndTheFirstStaysWhole) {
    const std::string body = dtest::Pattern(1500000, 53);
    const std::string path = Serve("busy.bin", body);
    ASSERT_EQ(1, DownloadFile(1, Url(path + "?throttle=300000").c_str(), Out("busy.bin").c_str(), 0));
    ASSERT_TRUE(recorder.WaitProgress(1, [](const dtest::Progress &p) { return p.percent > 0; }));
    ASSERT_EQ(1, DownloadFile(2, Url(path).c_str(), Out("busy.bin").c_str(), 0));
    EXPECT_EQ(SaveFileFailed, recorder.WaitEnding(2));
    EXPECT_EQ(DownloadDestinationBusy, FailureOf(2).kind) << FailureOf(2).text;
    ASSERT_EQ(1, CancelDownload(1));
    ASSERT_EQ(Aborted, recorder.WaitEnding(1));
    EXPECT_EQ(DownloadCancelled, FailureOf(1).kind);
    ASSERT_EQ(1, DownloadFile(2, Url(path).c_str(), Out("busy.bin").c_str(), 0));
    ASSERT_TRUE(dtest::Eventually([&] { return recorder.EndingsOf(2).size() == 2; }));
    EXPECT_EQ(Finished, recorder.EndingsOf(2).back());
    EXPECT_TRUE(ReadFile(Out("busy.bin")) == body);
}

TEST_F(Engine, AnotherWriterBesideTheTransferNeverGivesA303OfForeignBytes) {
    const std::string body = dtest::Pattern(1200000, 51);
    const std::string path = Serve("beside.bin", body);
    // One file gets bytes appended by someone else mid-transfer, the other is cut short.
    ASSERT_EQ(1, DownloadFile(1, Url(path + "?throttle=600000").c_str(), Out("added.bin").c_str(), 0));
    ASSERT_EQ(1, DownloadFile(2, Url(path + "?throttle=600000").c_str(), Out("cut.bin").c_str(), 0));
    ASSERT_TRUE(dtest::Eventually([&] { return FileSize(Out("added.bin")) >= 200000 && FileSize(Out("cut.bin")) >= 200000; }));
    const bool added = WriteBeside(Out("added.bin"), std::string(1000, 'X'));
    const bool cut = WriteBeside(Out("cut.bin"), "", 100000);
    ASSERT_TRUE(recorder.EndingsOf(1).empty() && recorder.EndingsOf(2).empty()) << "both writes land mid-transfer";
#ifdef _WIN32
    EXPECT_FALSE(added || cut) << "nobody else writes while the engine does";
    EXPECT_EQ(Finished, recorder.WaitEnding(1));
    EXPECT_EQ(Finished, recorder.WaitEnding(2));
#else
    ASSERT_TRUE(added && cut);
    EXPECT_EQ(OtherError, recorder.WaitEnding(1)) << "longer than the remote";
    EXPECT_EQ(NetworkInterrupted, recorder.WaitEnding(2)) << "shorter than the remote";
    EXPECT_EQ(std::int64_t(body.size()) + 1000, FileSize(Out("added.bin")));
    // Such a file is one version no longer: the next run starts it again rather than resume it.
    ASSERT_EQ(1, DownloadFile(3, Url(path).c_str(), Out("added.bin").c_str(), 0));
    ASSERT_EQ(1, DownloadFile(4, Url(path).c_str(), Out("cut.bin").c_str(), 0));
    EXPECT_EQ(Finished, recorder.WaitEnding(3));
    EXPECT_EQ(Finished, recorder.WaitEnding(4));
#endif
    EXPECT_TRUE(ReadFile(Out("added.bin")) == body);
    EXPECT_TRUE(ReadFile(Out("cut.bin")) == body);
}

TEST_F(Engine, HttpsIsNeverRedirectedToHttp) {
    const std::string body = dtest::Pattern(50000, 52);
    const std::string path = Serve("secure.bin", body);
    const std::string tag = dtest::Tag("plain");
    const std::string plain = Url(path + "?tag=" + tag);
    std::string upper = dtest::HttpsBase();
    upper.replace(0, 5, "HTTPS");
    ASSERT_EQ(1, DownloadFile(1, (dtest::HttpsBase() + path + "?redirect_to=" + plain).c_str(), Out("a.bin").c_str(), 0));
    ASSERT_EQ(1, DownloadFile(2, (upper + path + "?redirect_to=" + plain).c_str(), Out("b.bin").c_str(), 0));
    // The other way is fine, and so is https to https.
    ASSERT_EQ(1, DownloadFile(3, Url(path + "?redirect_to=" + dtest::HttpsBase() + path).c_str(), Out("c.bin").c_str(), 0));
    ASSERT_EQ(1, DownloadFile(4, (dtest::HttpsBase() + path + "?redirect=2").c_str(), Out("d.bin").c_str(), 0));
    EXPECT_EQ(SizeQueryFailed, recorder.WaitEnding(1));
    EXPECT_EQ(SizeQueryFailed, recorder.WaitEnding(2));
    EXPECT_EQ(Finished, recorder.WaitEnding(3));
    EXPECT_EQ(Finished, recorder.WaitEnding(4));
    EXPECT_EQ("0 0", dtest::Counts(tag)) << "the plain address is never asked";
    EXPECT_EQ(DownloadInsecureRedirect, FailureOf(1).kind) << FailureOf(1).text;
    EXPECT_EQ(-1, FileSize(Out("a.bin")));
    EXPECT_EQ(-1, FileSize(Out("b.bin")));
    EXPECT_TRUE(ReadFile(Out("c.bin")) == body);
    EXPECT_TRUE(ReadFile(Out("d.bin")) == body);
}

#ifndef _WIN32
TEST_F(Engine, AWriteTheDiskRefusesEnds204WithTheBytesBeforeItInOrder) {
    const std::string body = dtest::Pattern(3 * 1024 * 1024 + 5, 52);
    const std::string path = Serve("refused.bin", body);
    // The last block is the one refused: nothing after it could give the failure away.
    const std::int64_t limit = static_cast<std::int64_t>(body.size()) - 3;
    {
        FileSizeLimit full(static_cast<rlim_t>(limit));
        ASSERT_EQ(1, DownloadFile(1, Url(path).c_str(), Out("refused.bin").c_str(), 0));
        EXPECT_EQ(OtherError, recorder.WaitEnding(1)) << "neither finished nor a broken connection";
    }
    EXPECT_EQ(DownloadCannotSave, FailureOf(1).kind) << FailureOf(1).text;
    EXPECT_TRUE(ReadFile(Out("refused.bin")) == body.substr(0, static_cast<std::size_t>(limit)));
    ASSERT_EQ(1, DownloadFile(2, Url(path).c_str(), Out("refused.bin").c_str(), 0));
    EXPECT_EQ(Finished, recorder.WaitEnding(2));
    EXPECT_TRUE(ReadFile(Out("refused.bin")) == body);
}
#endif

TEST_F(Engine, AFinishedFileIsCheckedAgainstTheDigestItsAnswerCarriesAndRemovedWhenItDiffers) {
    std::string body = dtest::Pattern(700000, 31);
    std::string path = Serve("digest.bin", body);
    // From the first byte: hashed as written. Right SHA-256 and MD5; then a wrong Digest field.
    ASSERT_EQ(1, DownloadFile(40, Url(path + "?digest=repr,md5").c_str(), Out("right.bin").c_str(), 0));
    ASSERT_EQ(1, DownloadFile(41, Url(path + "?digest=digest&digest_wrong=1").c_str(), Out("wrong.bin").c_str(), 0));
    // Resumed: cut first, then finished under a right and a wrong Repr-Digest, so read back whole.
    ASSERT_EQ(1, DownloadFile(42, Url(path + "?drop_after=300000").c_str(), Out("resumed.bin").c_str(), 0));
    ASSERT_EQ(1, DownloadFile(43, Url(path + "?drop_after=300000").c_str(), Out("resumedwrong.bin").c_str(), 0));
    EXPECT_EQ(Finished, recorder.WaitEnding(40)) << FailureOf(40).text;
    EXPECT_EQ(OtherError, recorder.WaitEnding(41));
    EXPECT_EQ(NetworkInterrupted, recorder.WaitEnding(42));
    EXPECT_EQ(NetworkInterrupted, recorder.WaitEnding(43));
    EXPECT_TRUE(ReadFile(Out("right.bin")) == body);
    EXPECT_EQ(DownloadDigestMismatch, FailureOf(41).kind) << FailureOf(41).text;
    EXPECT_EQ(DownloadNotWorthRetrying, FailureOf(41).retryAdvice);
    EXPECT_EQ(-1, FileSize(Out("wrong.bin"))) << "a file that is not the server's is not kept";
    EXPECT_EQ(-1, FileSize(Out("wrong.bin.dravlin")));

    ASSERT_EQ(1, DownloadFile(42, Url(path + "?digest=repr").c_str(), Out("resumed.bin").c_str(), 0));
    ASSERT_EQ(1, DownloadFile(43, Url(path + "?digest=repr&digest_wrong=1").c_str(), Out("resumedwrong.bin").c_str(), 0));
    ASSERT_TRUE(dtest::Eventually([&] { return recorder.EndingsOf(42).size() == 2 && recorder.EndingsOf(43).size() == 2; }));
    EXPECT_EQ(Finished, recorder.EndingsOf(42).back()) << FailureOf(42).text;
    EXPECT_TRUE(ReadFile(Out("resumed.bin")) == body);
    EXPECT_EQ(OtherError, recorder.EndingsOf(43).back());
    EXPECT_EQ(DownloadDigestMismatch, FailureOf(43).kind) << FailureOf(43).text;
    EXPECT_EQ(-1, FileSize(Out("resumedwrong.bin")));
    EXPECT_EQ(-1, FileSize(Out("resumedwrong.bin.dravlin")));
}
