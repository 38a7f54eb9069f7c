/* The digest a finished file must have: what a server says in its response headers, or what an
 * administrator gives (64 hex digits), and the comparison with the digests of the file.
 *
 * Understood from a server, and only these:
 *  - Repr-Digest: sha-256=:BASE64:   the digest of the whole representation, also on a 206
 *                                    (a structured-field dictionary; other algorithms are skipped)
 *  - Digest: SHA-256=BASE64          the older form of the same (the algorithm in any case; other
 *                                    algorithms, MD5 included, are skipped)
 *  - Content-MD5: BASE64             the MD5 of the body sent, so of the whole file only on a 200;
 *                                    ignored on any other status
 * A value that is malformed (bad base64, the wrong number of bytes, a dictionary that does not
 * parse) is refused, never guessed at: it gives no expected digest. Two different values for one
 * algorithm within one response make that algorithm contradicted: no file can match it.
 * What is not checked: Content-Digest and Want-* fields, sha-512 and every other algorithm, and
 * any content coding (the engine asks for none, so the representation is the file's bytes).
 * Continuation lines of the obsolete folded form are ignored.
 *
 * Plain C, no allocation, no I/O, no globals. Safe to include from C and C++. Null pointers are
 * accepted: they give nothing (parsers return 0, the check says Differs where a digest is wanted).
 */
#ifndef DRAVLIN_EXPECTED_DIGEST_H
#define DRAVLIN_EXPECTED_DIGEST_H

#include <stddef.h>

#include "md5.h"
#include "sha256.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The state of one algorithm's expected value. */
typedef enum DravlinDigestState {
    DravlinDigestAbsent = 0,   /* nothing (usable) was said */
    DravlinDigestKnown,        /* value holds what the file must have */
    DravlinDigestContradicted  /* two different values were said: no file can match */
} DravlinDigestState;

/* What a file must hash to. Zero it (or DravlinExpectedDigestClear) before use; plain data owned
 * by the caller, may be copied. */
typedef struct DravlinExpectedDigest {
    DravlinDigestState sha256State;
    unsigned char sha256[DRAVLIN_SHA256_BYTES];
    DravlinDigestState md5State;
    unsigned char md5[DRAVLIN_MD5_BYTES];
    int status; /* the status of the response whose headers were last taken (0 before any) */
} DravlinExpectedDigest;

void DravlinExpectedDigestClear(DravlinExpectedDigest *expected);

/* Takes one header line as libcurl delivers it ("Name: value" with its line end, length bytes,
 * not necessarily NUL-terminated). A status line ("HTTP/1.1 200 OK") starts a new response and
 * forgets what earlier ones (redirects, 100 Continue) said. Other lines are ignored. */
void DravlinExpectedDigestTakeHeader(DravlinExpectedDigest *expected, const char *line, size_t length);

/* The three parsers, each given a field's value (length bytes, surrounding blanks allowed). They
 * return 1 and write the 32 (16) bytes when the value carries a well-formed digest of their
 * algorithm, else 0 and leave out alone. 2 means the value names the algorithm twice with
 * different digests (out is left alone). */
int DravlinParseReprDigest(const char *value, size_t length, unsigned char out[DRAVLIN_SHA256_BYTES]);
int DravlinParseDigestField(const char *value, size_t length, unsigned char out[DRAVLIN_SHA256_BYTES]);
int DravlinParseContentMd5(const char *value, size_t length, unsigned char out[DRAVLIN_MD5_BYTES]);

/* A SHA-256 written as exactly 64 hex digits, in either case, with blanks (space, tab, CR, LF)
 * allowed around it: the form of the ImageSha256 policy value and of /sha256 and --sha256.
 * NUL-terminated text. Returns 1 and writes out, or 0 for anything else. */
int DravlinParseSha256Hex(const char *text, unsigned char out[DRAVLIN_SHA256_BYTES]);

/* The 64 lower-case hex digits of a SHA-256 and a NUL, for messages and logs. */
void DravlinFormatSha256Hex(const unsigned char digest[DRAVLIN_SHA256_BYTES], char text[65]);

typedef enum DravlinDigestVerdict {
    DravlinDigestUnchecked = 0, /* nothing was expected: the file is neither confirmed nor refused */
    DravlinDigestMatches,       /* every expected digest matches */
    DravlinDigestDiffers        /* at least one does not, is contradicted, or was not computed */
} DravlinDigestVerdict;

/* Compares the file's digests (either may be null when the caller did not compute it) with what
 * is expected. Every expected algorithm must match; one that the caller did not compute is not a
 * match. */
DravlinDigestVerdict DravlinDigestCheck(const DravlinExpectedDigest *expected,
                                        const unsigned char sha256[DRAVLIN_SHA256_BYTES],
                                        const unsigned char md5[DRAVLIN_MD5_BYTES]);

#ifdef __cplusplus
}
#endif

#endif
