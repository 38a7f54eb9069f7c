#include "md5.h"

#include <string.h>

/* The per-step shifts and the sines' integer parts, as the algorithm defines them. */
static const int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                               5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                               4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                               6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
static const uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

static void Compress(uint32_t state[4], const unsigned char *block) {
    uint32_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = (uint32_t)block[4 * i] | (uint32_t)block[4 * i + 1] << 8 | (uint32_t)block[4 * i + 2] << 16 |
               (uint32_t)block[4 * i + 3] << 24;
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        uint32_t sum = a + f + kSine[i] + m[g];
        a = d;
        d = c;
        c = b;
        b = b + ((sum << kShift[i]) | (sum >> (32 - kShift[i])));
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

void DravlinMd5Init(DravlinMd5 *context) {
    if (!context) return;
    context->state[0] = 0x67452301;
    context->state[1] = 0xefcdab89;
    context->state[2] = 0x98badcfe;
    context->state[3] = 0x10325476;
    context->length = 0;
    context->used = 0;
}

void DravlinMd5Update(DravlinMd5 *context, const void *data, size_t size) {
    if (!context || !data) return;
    const unsigned char *bytes = (const unsigned char *)data;
    context->length += size;
    if (context->used > 0) {
        size_t take = 64 - context->used < size ? 64 - context->used : size;
        memcpy(context->block + context->used, bytes, take);
        context->used += take;
        bytes += take;
        size -= take;
        if (context->used < 64) return;
        Compress(context->state, context->block);
        context->used = 0;
    }
    for (; size >= 64; bytes += 64, size -= 64) Compress(context->state, bytes);
    memcpy(context->block, bytes, size);
    context->used = size;
}

void DravlinMd5Final(DravlinMd5 *context, unsigned char digest[DRAVLIN_MD5_BYTES]) {
    if (!context || !digest) return;
    uint64_t bits = context->length * 8;
    context->block[context->used++] = 0x80;
    if (context->used > 56) {
        memset(context->block + context->used, 0, 64 - context->used);
        Compress(context->state, context->block);
        context->used = 0;
    }
    memset(context->block + context->used, 0, 56 - context->used);
    for (int i = 0; i < 8; ++i) context->block[56 + i] = (unsigned char)(bits >> (8 * i));
    Compress(context->state, context->block);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) digest[4 * i + j] = (unsigned char)(context->state[i] >> (8 * j));
}
