#include <gtest/gtest.h>
#include <windows.h>
#include <curl/curl.h>

#include <fstream>
#include <string>

#include "test_env.h"

namespace {

const char *const kExports[] = {
    "InvalidCurl",        "ReleaseCurl",        "SetDownloadDriverFileCallback", "SetDownloadDriverFileErrorCallback",
    "DownloadFile",       "DownloadPause",      "DownloadResume",                "CancelDownload",
    "DeleteDownloadTask", "SetDownloadTaskNum", "SetDownloadSpeed",              "GetDownloadFailure",
};

size_t Collect(char *data, size_t size, size_t count, void *target) {
    static_cast<std::string *>(target)->append(data, size * count);
    return size * count;
}

}  // namespace

TEST(DravlinDll, LoadsWithEveryExportAndInitialisesLibcurl) {
    HMODULE library = LoadLibraryW(L"Dravlin.dll");
    ASSERT_NE(nullptr, library) << "error " << GetLastError();
    for (const char *name : kExports) EXPECT_NE(nullptr, GetProcAddress(library, name)) << name;

    using InitFn = int(__cdecl *)();
    using ReleaseFn = void(__cdecl *)();
    auto init = reinterpret_cast<InitFn>(reinterpret_cast<void *>(GetProcAddress(library, "InvalidCurl")));
    auto release = reinterpret_cast<ReleaseFn>(reinterpret_cast<void *>(GetProcAddress(library, "ReleaseCurl")));
    ASSERT_TRUE(init && release);
    EXPECT_EQ(1, init());
    release();
    FreeLibrary(library);
}

TEST(WindowsLibcurl, FetchesExactBytesFromLocalServer) {
    std::string base = TestServerBase();
    ASSERT_FALSE(base.empty()) << "no test server";

    std::string body;
    for (int i = 0; i < 100000; ++i) body.push_back(static_cast<char>((i * 131 + i / 7) & 0xff));
    std::ofstream(TestServerRoot() + "\\libcurl-fetch.bin", std::ios::binary) << body;

    ASSERT_EQ(CURLE_OK, curl_global_init(CURL_GLOBAL_ALL));
    CURL *easy = curl_easy_init();
    ASSERT_NE(nullptr, easy);
    std::string received;
    std::string url = base + "/libcurl-fetch.bin";
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &received);
    EXPECT_EQ(CURLE_OK, curl_easy_perform(easy));
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    EXPECT_EQ(200, status);
    EXPECT_TRUE(received == body) << "received " << received.size() << " bytes";
    curl_easy_cleanup(easy);
    curl_global_cleanup();
}
