/* SHA-256, streaming, portable: the digest of a file fed in pieces of any size.
 *
 * Plain C, no allocation, no I/O; the context is the caller's (on the stack or in its own object)
 * and holds no pointers, so it may be copied. Safe to include from C and C++. Null pointers are
 * ignored (Final then writes nothing).
 */
#ifndef DRAVLIN_SHA256_H
#define DRAVLIN_SHA256_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define DRAVLIN_SHA256_BYTES 32

typedef struct DravlinSha256 {
    uint32_t state[8];
    uint64_t length;       /* bytes fed so far */
    unsigned char block[64];
    size_t used;           /* bytes of block waiting for the rest of their 64 */
} DravlinSha256;

void DravlinSha256Init(DravlinSha256 *context);
void DravlinSha256Update(DravlinSha256 *context, const void *data, size_t size);
/* Writes the 32-byte digest. The context must be initialised again before it is used again. */
void DravlinSha256Final(DravlinSha256 *context, unsigned char digest[DRAVLIN_SHA256_BYTES]);

#ifdef __cplusplus
}
#endif

#endif
