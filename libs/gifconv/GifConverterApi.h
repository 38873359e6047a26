#pragma once

// C interface of the GIF converter library (libqvgifconv.so). The program loads
// the library at run time with QLibrary and resolves the two entry points by
// name, so nothing here may change its calling convention or layout.

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define QVGIF_EXPORT __attribute__((visibility("default")))
#else
#define QVGIF_EXPORT
#endif

// The converted GIF: bytes and their count. count == 0 means the conversion failed
// and bytes is null. The record belongs to the calling thread and stays valid until
// that thread calls GifConverter or Release again.
typedef struct GifConverterResult
{
    unsigned char *bytes;
    int count;
} GifConverterResult;

// argv: program name, source path, then any of
//   --resize WxH          output size in pixels (1..65535 each)
//   --delete #i [#j ...]  0-based frames to drop; the last frame is always kept
//   --colors N            at most N colours (2..256)
// Never returns null; never throws.
QVGIF_EXPORT GifConverterResult *GifConverter(int argc, char **argv);

// Frees the bytes of the calling thread's last result.
QVGIF_EXPORT void Release(void);

typedef GifConverterResult *(*GifConverterFunction)(int argc, char **argv);
typedef void (*GifReleaseFunction)(void);

#ifdef __cplusplus
}
#endif
