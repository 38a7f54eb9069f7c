#include "expected_digest.h"

#include <string.h>

/* A piece of text: never NUL-terminated, never read past length. */
typedef struct Span {
    const char *at;
    size_t length;
} Span;

static int IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
static int IsLowerAlpha(char c) { return c >= 'a' && c <= 'z'; }
static int IsAlpha(char c) { return IsLowerAlpha(c) || (c >= 'A' && c <= 'Z'); }
static int IsDigit(char c) { return c >= '0' && c <= '9'; }

static Span Trim(Span s) {
    while (s.length > 0 && IsBlank(s.at[0])) ++s.at, --s.length;
    while (s.length > 0 && IsBlank(s.at[s.length - 1])) --s.length;
    return s;
}

static int EqualsIgnoringCase(Span s, const char *word) {
    size_t n = strlen(word);
    if (s.length != n) return 0;
    for (size_t i = 0; i < n; ++i) {
        char a = s.at[i], b = word[i];
        if (a >= 'A' && a <= 'Z') a = (char)(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = (char)(b - 'A' + 'a');
        if (a != b) return 0;
    }
    return 1;
}

static int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (IsDigit(c)) return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

/* Standard base64 of exactly `want` bytes, with its '=' padding (or without it, where a structured
 * field allows that), and with the unused low bits of the last character zero: one spelling per
 * value, so nothing is guessed. */
static int DecodeBase64(Span s, unsigned char *out, size_t want, int paddingOptional) {
    size_t unpadded = (want * 8 + 5) / 6;
    size_t padded = (want + 2) / 3 * 4;
    size_t digits = s.length;
    if (digits == padded && padded != unpadded) {
        for (size_t i = unpadded; i < padded; ++i)
            if (s.at[i] != '=') return 0;
        digits = unpadded;
    }
    if (digits != unpadded || (digits == s.length && padded != unpadded && !paddingOptional)) return 0;
    unsigned char bytes[64];
    if (want > sizeof bytes) return 0;
    unsigned int bits = 0;
    int held = 0;
    size_t written = 0;
    for (size_t i = 0; i < digits; ++i) {
        int v = Base64Value(s.at[i]);
        if (v < 0) return 0;
        bits = (bits << 6) | (unsigned int)v;
        held += 6;
        if (held >= 8) {
            held -= 8;
            if (written < want) bytes[written++] = (unsigned char)(bits >> held);
            bits &= (1u << held) - 1;
        }
    }
    if (written != want || bits != 0) return 0;
    memcpy(out, bytes, want);
    return 1;
}

/* Records a value for one algorithm: a second, different value contradicts the first. */
static void Record(DravlinDigestState *state, unsigned char *held, const unsigned char *value, size_t size) {
    if (*state == DravlinDigestAbsent) {
        memcpy(held, value, size);
        *state = DravlinDigestKnown;
    } else if (*state == DravlinDigestKnown && memcmp(held, value, size) != 0) {
        *state = DravlinDigestContradicted;
    }
}

/* ---- Repr-Digest: a structured-field dictionary. Only its grammar is checked for the members we
 * skip; the sha-256 member must be a byte sequence of 32 bytes. */

typedef struct Cursor {
    const char *at;
    const char *end;
} Cursor;

static int AtChar(const Cursor *c, char ch) { return c->at < c->end && *c->at == ch; }
static void SkipSpaces(Cursor *c) {
    while (c->at < c->end && *c->at == ' ') ++c->at;
}
static void SkipBlanks(Cursor *c) {
    while (c->at < c->end && (*c->at == ' ' || *c->at == '\t')) ++c->at;
}

static int ParseKey(Cursor *c, Span *key) {
    if (c->at >= c->end || !(IsLowerAlpha(*c->at) || *c->at == '*')) return 0;
    key->at = c->at;
    while (c->at < c->end && (IsLowerAlpha(*c->at) || IsDigit(*c->at) || (*c->at != '\0' && strchr("_-.*", *c->at))))
        ++c->at;
    key->length = (size_t)(c->at - key->at);
    return 1;
}

static int IsTokenChar(char c) {
    return IsAlpha(c) || IsDigit(c) || (c != '\0' && strchr("!#$%&'*+-.^_`|~:/", c));
}

/* A bare item. For a byte sequence, *bytes spans its base64 text; otherwise bytes->at is null. */
static int ParseBareItem(Cursor *c, Span *bytes) {
    bytes->at = NULL;
    bytes->length = 0;
    if (c->at >= c->end) return 0;
    char first = *c->at;
    if (first == '-' || IsDigit(first) || first == '@') {
        if (first == '@') ++c->at;
        if (AtChar(c, '-')) ++c->at;
        const char *digits = c->at;
        while (c->at < c->end && (IsDigit(*c->at) || *c->at == '.')) ++c->at;
        return c->at > digits && IsDigit(*digits);
    }
    if (first == '"' || (first == '%' && c->at + 1 < c->end && c->at[1] == '"')) {
        c->at += first == '%' ? 2 : 1;
        while (c->at < c->end) {
            char ch = *c->at++;
            if (ch == '"') return 1;
            if (ch == '\\') {
                if (c->at >= c->end || (*c->at != '"' && *c->at != '\\')) return 0;
                ++c->at;
            } else if (ch < 0x20 || ch > 0x7e) {
                return 0;
            }
        }
        return 0;
    }
    if (first == ':') {
        const char *text = ++c->at;
        while (c->at < c->end && (Base64Value(*c->at) >= 0 || *c->at == '=')) ++c->at;
        if (!AtChar(c, ':')) return 0;
        bytes->at = text;
        bytes->length = (size_t)(c->at - text);
        ++c->at;
        return 1;
    }
    if (first == '?') {
        ++c->at;
        if (!AtChar(c, '0') && !AtChar(c, '1')) return 0;
        ++c->at;
        return 1;
    }
    if (IsAlpha(first) || first == '*') {
        while (c->at < c->end && IsTokenChar(*c->at)) ++c->at;
        return 1;
    }
    return 0;
}

static int ParseParameters(Cursor *c) {
    while (AtChar(c, ';')) {
        ++c->at;
        SkipSpaces(c);
        Span key, bytes;
        if (!ParseKey(c, &key)) return 0;
        if (AtChar(c, '=')) {
            ++c->at;
            if (!ParseBareItem(c, &bytes)) return 0;
        }
    }
    return 1;
}

/* An item or an inner list, with parameters. *bytes as for ParseBareItem (null for a list). */
static int ParseMemberValue(Cursor *c, Span *bytes) {
    bytes->at = NULL;
    bytes->length = 0;
    if (AtChar(c, '(')) {
        ++c->at;
        for (;;) {
            SkipSpaces(c);
            if (AtChar(c, ')')) {
                ++c->at;
                break;
            }
            Span ignored;
            if (!ParseBareItem(c, &ignored) || !ParseParameters(c)) return 0;
            if (!AtChar(c, ' ') && !AtChar(c, ')')) return 0;
        }
        return ParseParameters(c);
    }
    return ParseBareItem(c, bytes) && ParseParameters(c);
}

int DravlinParseReprDigest(const char *value, size_t length, unsigned char out[DRAVLIN_SHA256_BYTES]) {
    if (!value || !out) return 0;
    Span whole = Trim((Span){value, length});
    Cursor c = {whole.at, whole.at + whole.length};
    DravlinDigestState state = DravlinDigestAbsent;
    unsigned char found[DRAVLIN_SHA256_BYTES];
    int malformedSha256 = 0;
    while (c.at < c.end) {
        Span key, bytes = {NULL, 0};
        if (!ParseKey(&c, &key)) return 0;
        if (AtChar(&c, '=')) {
            ++c.at;
            if (!ParseMemberValue(&c, &bytes)) return 0;
        } else if (!ParseParameters(&c)) {
            return 0;
        }
        if (EqualsIgnoringCase(key, "sha-256")) {
            unsigned char digest[DRAVLIN_SHA256_BYTES];
            if (bytes.at && DecodeBase64(bytes, digest, sizeof digest, 1)) Record(&state, found, digest, sizeof digest);
            else malformedSha256 = 1;
        }
        SkipBlanks(&c);
        if (c.at == c.end) break;
        if (!AtChar(&c, ',')) return 0;
        ++c.at;
        SkipBlanks(&c);
        if (c.at == c.end) return 0;  /* a trailing comma */
    }
    if (malformedSha256) return 0;
    if (state == DravlinDigestContradicted) return 2;
    if (state != DravlinDigestKnown) return 0;
    memcpy(out, found, sizeof found);
    return 1;
}

/* ---- Digest: a comma-separated list of algorithm=value, the algorithm in any case. */

int DravlinParseDigestField(const char *value, size_t length, unsigned char out[DRAVLIN_SHA256_BYTES]) {
    if (!value || !out) return 0;
    DravlinDigestState state = DravlinDigestAbsent;
    unsigned char found[DRAVLIN_SHA256_BYTES];
    size_t start = 0;
    while (start <= length) {
        size_t stop = start;
        while (stop < length && value[stop] != ',') ++stop;
        Span element = Trim((Span){value + start, stop - start});
        start = stop + 1;
        const char *equals = element.length ? memchr(element.at, '=', element.length) : NULL;
        if (!equals) continue;  /* empty list elements are allowed; anything else is not ours */
        Span algorithm = {element.at, (size_t)(equals - element.at)};
        Span encoded = {equals + 1, element.length - algorithm.length - 1};
        if (!EqualsIgnoringCase(algorithm, "sha-256")) continue;
        unsigned char digest[DRAVLIN_SHA256_BYTES];
        if (!DecodeBase64(encoded, digest, sizeof digest, 0)) return 0;
        Record(&state, found, digest, sizeof digest);
    }
    if (state == DravlinDigestContradicted) return 2;
    if (state != DravlinDigestKnown) return 0;
    memcpy(out, found, sizeof found);
    return 1;
}

int DravlinParseContentMd5(const char *value, size_t length, unsigned char out[DRAVLIN_MD5_BYTES]) {
    if (!value || !out) return 0;
    unsigned char digest[DRAVLIN_MD5_BYTES];
    if (!DecodeBase64(Trim((Span){value, length}), digest, sizeof digest, 0)) return 0;
    memcpy(out, digest, sizeof digest);
    return 1;
}

/* ---- Header lines */

void DravlinExpectedDigestClear(DravlinExpectedDigest *expected) {
    if (expected) memset(expected, 0, sizeof *expected);
}

static int StatusOf(Span line) {
    /* "HTTP/1.1 200 OK", "HTTP/2 206" */
    if (line.length < 5 || memcmp(line.at, "HTTP/", 5) != 0) return -1;
    size_t i = 5;
    while (i < line.length && line.at[i] != ' ') ++i;
    while (i < line.length && line.at[i] == ' ') ++i;
    int status = 0, digits = 0;
    for (; i < line.length && IsDigit(line.at[i]) && digits < 3; ++i, ++digits) status = status * 10 + (line.at[i] - '0');
    return digits == 3 ? status : 0;
}

void DravlinExpectedDigestTakeHeader(DravlinExpectedDigest *expected, const char *line, size_t length) {
    if (!expected || !line) return;
    Span whole = {line, length};
    int status = StatusOf(whole);
    if (status >= 0) {
        DravlinExpectedDigestClear(expected);
        expected->status = status;
        return;
    }
    const char *colon = memchr(line, ':', length);
    if (!colon || colon == line || IsBlank(line[0])) return;
    Span name = {line, (size_t)(colon - line)};
    Span value = {colon + 1, length - name.length - 1};
    unsigned char sha256[DRAVLIN_SHA256_BYTES], md5[DRAVLIN_MD5_BYTES];
    int got = 0;
    if (EqualsIgnoringCase(name, "repr-digest")) got = DravlinParseReprDigest(value.at, value.length, sha256);
    else if (EqualsIgnoringCase(name, "digest")) got = DravlinParseDigestField(value.at, value.length, sha256);
    else if (EqualsIgnoringCase(name, "content-md5") && expected->status == 200) {
        if (DravlinParseContentMd5(value.at, value.length, md5))
            Record(&expected->md5State, expected->md5, md5, sizeof md5);
        return;
    }
    if (got == 1) Record(&expected->sha256State, expected->sha256, sha256, sizeof sha256);
    else if (got == 2) expected->sha256State = DravlinDigestContradicted;
}

/* ---- Hex and the check */

static int HexValue(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int DravlinParseSha256Hex(const char *text, unsigned char out[DRAVLIN_SHA256_BYTES]) {
    if (!text || !out) return 0;
    Span s = Trim((Span){text, strlen(text)});
    if (s.length != 2 * DRAVLIN_SHA256_BYTES) return 0;
    unsigned char digest[DRAVLIN_SHA256_BYTES];
    for (size_t i = 0; i < DRAVLIN_SHA256_BYTES; ++i) {
        int high = HexValue(s.at[2 * i]), low = HexValue(s.at[2 * i + 1]);
        if (high < 0 || low < 0) return 0;
        digest[i] = (unsigned char)(high << 4 | low);
    }
    memcpy(out, digest, sizeof digest);
    return 1;
}

void DravlinFormatSha256Hex(const unsigned char digest[DRAVLIN_SHA256_BYTES], char text[65]) {
    static const char kDigits[] = "0123456789abcdef";
    if (!text) return;
    if (!digest) {
        text[0] = '\0';
        return;
    }
    for (size_t i = 0; i < DRAVLIN_SHA256_BYTES; ++i) {
        text[2 * i] = kDigits[digest[i] >> 4];
        text[2 * i + 1] = kDigits[digest[i] & 15];
    }
    text[64] = '\0';
}

static int Confirms(DravlinDigestState state, const unsigned char *wanted, const unsigned char *actual, size_t size) {
    if (state == DravlinDigestAbsent) return 1;
    return state == DravlinDigestKnown && actual && memcmp(wanted, actual, size) == 0;
}

DravlinDigestVerdict DravlinDigestCheck(const DravlinExpectedDigest *expected,
                                        const unsigned char sha256[DRAVLIN_SHA256_BYTES],
                                        const unsigned char md5[DRAVLIN_MD5_BYTES]) {
    if (!expected || (expected->sha256State == DravlinDigestAbsent && expected->md5State == DravlinDigestAbsent))
        return DravlinDigestUnchecked;
    if (Confirms(expected->sha256State, expected->sha256, sha256, DRAVLIN_SHA256_BYTES) &&
        Confirms(expected->md5State, expected->md5, md5, DRAVLIN_MD5_BYTES))
        return DravlinDigestMatches;
    return DravlinDigestDiffers;
}
