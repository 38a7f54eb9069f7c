#include <gtest/gtest.h>

#include "app/command_line.h"

TEST(Switches, EveryFormAndEveryBadInput) {
    const Switches all = ParseSwitches({L"-QUIET", L"/NoRestart", L"/log", L"C:\\logs\\h.txt", L"-Source",
                                        L"https://mirror.example/img/HomeStudent2019Retail.img", L"/?", L"/SHA256",
                                        L" E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855 "});
    EXPECT_EQ(all.error, L"");
    EXPECT_TRUE(all.quiet && all.noRestart && all.usage);
    EXPECT_EQ(all.logFile, L"C:\\logs\\h.txt");
    EXPECT_EQ(all.sourceUrl, "https://mirror.example/img/HomeStudent2019Retail.img");
    EXPECT_EQ(all.imageSha256, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");

    const Switches none = ParseSwitches({});
    EXPECT_TRUE(none.error.empty() && !none.quiet && !none.noRestart && !none.usage && none.logFile.empty() &&
                none.sourceUrl.empty());

    // Each is refused whole, with what was wrong for the log.
    for (const std::vector<std::wstring> &bad : std::vector<std::vector<std::wstring>>{
             {L"/quiet", L"/silent"},
             {L"quiet"},
             {L"/quiet", L"/log"},
             {L"/log", L"/quiet"},  // a forgotten file name, not a file called "/quiet"
             {L"/log", L""},
             {L"/log", L"a.txt", L"/log", L"b.txt"},
             {L"/source", L"ftp://mirror.example/x.img"},
             {L"/source", L"https://mirror.example/镜像.img"},
             {L"/source", L"https://mirror.example/a b.img"},
             {L"/quiet", L"/source"},
             {L"/sha256", L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b85"},
             {L"/sha256", L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b85\u0665"},
         }) {
        const Switches parsed = ParseSwitches(bad);
        EXPECT_FALSE(parsed.error.empty()) << bad.back().size();
        EXPECT_TRUE(parsed.sourceUrl.empty() && parsed.imageSha256.empty());
    }
    // The first fault is the one named, and a /log after it is still read, so that its record has
    // somewhere to go.
    const Switches faulty = ParseSwitches({L"/bogus", L"/source", L"/log", L"C:\\h.txt", L"/what"});
    EXPECT_EQ(faulty.error, L"无法识别的参数 /bogus");
    EXPECT_EQ(faulty.logFile, L"C:\\h.txt");
}
