/* MD5, streaming, portable: only to compare a file with a server's Content-MD5. It is not a
 * defence against a forger, only against damage on the way; SHA-256 is the check that counts.
 *
 * Plain C, no allocation, no I/O; the context is the caller's and may be copied. Safe to include
 * from C and C++. Null pointers are ignored (Final then writes nothing).
 */
#ifndef DRAVLIN_MD5_H
#define DRAVLIN_MD5_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define DRAVLIN_MD5_BYTES 16

typedef struct DravlinMd5 {
    uint32_t state[4];
    uint64_t length;       /* bytes fed so far */
    unsigned char block[64];
    size_t used;           /* bytes of block waiting for the rest of their 64 */
} DravlinMd5;

void DravlinMd5Init(DravlinMd5 *context);
void DravlinMd5Update(DravlinMd5 *context, const void *data, size_t size);
/* Writes the 16-byte digest. The context must be initialised again before it is used again. */
void DravlinMd5Final(DravlinMd5 *context, unsigned char digest[DRAVLIN_MD5_BYTES]);

#ifdef __cplusplus
}
#endif

#endif
