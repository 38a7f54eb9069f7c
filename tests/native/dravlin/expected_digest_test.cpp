#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expected_digest.h"

namespace {

std::string Hex(const unsigned char *bytes, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < size; ++i) text += {digits[bytes[i] >> 4], digits[bytes[i] & 15]};
    return text;
}

// The input fed in pieces of the given sizes, in turn, until it is used up.
std::string Sha256(const std::string &input, const std::vector<size_t> &pieces = {}) {
    DravlinSha256 context;
    DravlinSha256Init(&context);
    size_t at = 0;
    for (size_t i = 0; at < input.size(); ++i) {
        size_t size = pieces.empty() ? input.size() : std::min(pieces[i % pieces.size()], input.size() - at);
        DravlinSha256Update(&context, input.data() + at, size);
        at += size;
    }
    unsigned char digest[DRAVLIN_SHA256_BYTES];
    DravlinSha256Final(&context, digest);
    return Hex(digest, sizeof digest);
}

std::string Md5(const std::string &input, const std::vector<size_t> &pieces = {}) {
    DravlinMd5 context;
    DravlinMd5Init(&context);
    size_t at = 0;
    for (size_t i = 0; at < input.size(); ++i) {
        size_t size = pieces.empty() ? input.size() : std::min(pieces[i % pieces.size()], input.size() - at);
        DravlinMd5Update(&context, input.data() + at, size);
        at += size;
    }
    unsigned char digest[DRAVLIN_MD5_BYTES];
    DravlinMd5Final(&context, digest);
    return Hex(digest, sizeof digest);
}

const char kAbcSha[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const char kAbcSha64[] = "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=";
const char kAbdSha64[] = "pS0VnyYrLG3bckphhAvvw26zDIiHekAwtly+himESck=";
const char kAbcMd5[] = "900150983cd24fb0d6963f7d28e17f72";

// What a response with these header lines makes a file have to be, as "sha256-state/hex md5-state/hex".
std::string Expected(const std::vector<std::string> &lines) {
    DravlinExpectedDigest expected;
    DravlinExpectedDigestClear(&expected);
    for (const std::string &line : lines) {
        std::string delivered = line + "\r\n";
        DravlinExpectedDigestTakeHeader(&expected, delivered.data(), delivered.size());
    }
    auto show = [](DravlinDigestState state, const unsigned char *value, size_t size) {
        return state == DravlinDigestAbsent ? std::string("-")
               : state == DravlinDigestContradicted ? std::string("contradicted") : Hex(value, size);
    };
    return show(expected.sha256State, expected.sha256, sizeof expected.sha256) + " " +
           show(expected.md5State, expected.md5, sizeof expected.md5);
}

}  // namespace

TEST(ExpectedDigest, HashesMatchTheStandardVectorsHoweverTheInputIsCut) {
    EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", Sha256(""));
    EXPECT_EQ(kAbcSha, Sha256("abc"));
    EXPECT_EQ("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
              Sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"));
    EXPECT_EQ("cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1",
              Sha256("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu"));
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", Md5(""));
    EXPECT_EQ(kAbcMd5, Md5("abc"));
    EXPECT_EQ("57edf4a22be3c955ac49da2e2107b67a",
              Md5("12345678901234567890123456789012345678901234567890123456789012345678901234567890"));
    // A resumed file is hashed as the part on disk and then the rest: uneven pieces across blocks.
    const std::string million(1000000, 'a');
    const std::vector<size_t> uneven = {1, 63, 64, 65, 55, 56, 4093, 7, 11, 128 * 1024};
    EXPECT_EQ("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0", Sha256(million, uneven));
    EXPECT_EQ("7707d6ae4e027c70eea2a935c2296f21", Md5(million, uneven));
}

TEST(ExpectedDigest, HeadersGiveTheirDigestOrNothingAndHostileValuesAreRefused) {
    const std::string abc = std::string(kAbcSha) + " -";
    const std::string none = "- -";
    const std::string sha = kAbcSha64;
    const std::string unpadded = sha.substr(0, 43);
    struct Case {
        std::vector<std::string> lines;
        std::string expected;
    } cases[] = {
        {{"HTTP/1.1 200 OK", "Repr-Digest: sha-256=:" + sha + ":"}, abc},
        {{"HTTP/2 206", "repr-digest:sha-512=:AAAA:;p=1, sha-256=:" + unpadded + ":, x=(a \"b,c\")"}, abc},
        {{"HTTP/1.1 206 Partial", "Digest: UNIXsum=30637, SHA-256=" + sha}, abc},
        {{"HTTP/1.1 200 OK", "DIGEST: sha-256=" + sha + ",MD5=kAFQmDzST7DWlj99KOF/cg=="}, abc},
        // Content-MD5 describes the body sent: the whole file only on a 200.
        {{"HTTP/1.1 200 OK", "Content-MD5: kAFQmDzST7DWlj99KOF/cg=="}, std::string("- ") + kAbcMd5},
        {{"HTTP/1.1 206 Partial", "Content-MD5: kAFQmDzST7DWlj99KOF/cg=="}, none},
        // Refused: structured-field keys are lower case; the wrong alphabet, length or padding;
        // spare bits set; a value that is not bytes; a broken dictionary.
        {{"HTTP/1.1 200 OK", "Repr-Digest: SHA-256=:" + sha + ":"}, none},
        {{"HTTP/1.1 200 OK", "Repr-Digest: sha-256=:ungWv48Bz-pBQUDeXa4iI7ADYaOWF3qctBD_YfIAFa0=:"}, none},
        {{"HTTP/1.1 200 OK", "Repr-Digest: sha-256=:AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA==:"}, none},
        {{"HTTP/1.1 200 OK", "Repr-Digest: sha-256=:" + sha + "=:"}, none},
        {{"HTTP/1.1 200 OK", "Repr-Digest: sha-256=:ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa1=:"}, none},
        {{"HTTP/1.1 200 OK", "Repr-Digest: sha-256=\"" + sha + "\""}, none},
        {{"HTTP/1.1 200 OK", "Repr-Digest: sha-256=:" + sha + ":,"}, none},
        {{"HTTP/1.1 200 OK", "Digest: SHA-256=" + sha.substr(0, 40)}, none},
        {{"HTTP/1.1 200 OK", "Digest: MD5=kAFQmDzST7DWlj99KOF/cg==", "Content-MD5: kAFQmDzST7DWlj99KOF/cg"}, none},
        // Two different answers: no file can match.
        {{"HTTP/1.1 200 OK", "Repr-Digest: sha-256=:" + sha + ":, sha-256=:" + kAbdSha64 + ":"}, "contradicted -"},
        {{"HTTP/1.1 200 OK", "Repr-Digest: sha-256=:" + sha + ":", std::string("Digest: SHA-256=") + kAbdSha64},
         "contradicted -"},
        {{"HTTP/1.1 200 OK", "Repr-Digest: sha-256=:" + sha + ":", "Digest: SHA-256=" + sha}, abc},
        // What a redirect said is forgotten at the next response.
        {{"HTTP/1.1 302 Found", "Repr-Digest: sha-256=:" + sha + ":", "HTTP/1.1 200 OK"}, none},
        {{"HTTP/1.1 200 OK", "Repr-Digest: sha-256=:", " " + sha + ":"}, none},
    };
    for (const Case &c : cases) EXPECT_EQ(c.expected, Expected(c.lines)) << c.lines.back();
}

TEST(ExpectedDigest, CheckNeedsEveryExpectedDigestAndHexIsExactly64Digits) {
    unsigned char abc[DRAVLIN_SHA256_BYTES], other[DRAVLIN_SHA256_BYTES];
    ASSERT_EQ(1, DravlinParseSha256Hex(" BA7816BF8F01CFEA414140DE5DAE2223b00361a396177a9cb410ff61f20015ad\r\n", abc));
    char text[65];
    DravlinFormatSha256Hex(abc, text);
    EXPECT_STREQ(kAbcSha, text);
    for (const char *bad : {"", "ba7816bf", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015a",
                            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015add",
                            "ba7816bf8f01cfea414140de5dae2223 00361a396177a9cb410ff61f20015ad",
                            "ga7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
                            "0xba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015"})
        EXPECT_EQ(0, DravlinParseSha256Hex(bad, other)) << bad;

    DravlinExpectedDigest expected;
    DravlinExpectedDigestClear(&expected);
    EXPECT_EQ(DravlinDigestUnchecked, DravlinDigestCheck(&expected, abc, nullptr));
    memcpy(expected.sha256, abc, sizeof abc);
    expected.sha256State = DravlinDigestKnown;
    EXPECT_EQ(DravlinDigestMatches, DravlinDigestCheck(&expected, abc, nullptr));
    other[0] = abc[0] ^ 1;
    memcpy(other + 1, abc + 1, sizeof abc - 1);
    EXPECT_EQ(DravlinDigestDiffers, DravlinDigestCheck(&expected, other, nullptr));
    EXPECT_EQ(DravlinDigestDiffers, DravlinDigestCheck(&expected, nullptr, nullptr));
    expected.md5State = DravlinDigestKnown;  // also wanted, but not computed
    EXPECT_EQ(DravlinDigestDiffers, DravlinDigestCheck(&expected, abc, nullptr));
    expected.md5State = DravlinDigestAbsent;
    expected.sha256State = DravlinDigestContradicted;
    EXPECT_EQ(DravlinDigestDiffers, DravlinDigestCheck(&expected, abc, nullptr));
}
