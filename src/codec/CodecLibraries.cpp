#include "CodecLibraries.h"

#include <mutex>

#include <malloc.h>
#include <tiffio.h>

void initialiseCodecLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetWarningHandler(nullptr);
        TIFFSetErrorHandler(nullptr);
        // Blocks of a megabyte and more get pages of their own and go back to
        // the system when freed. By default the C library raises that bound
        // after the first such block is freed (up to 32 MB), so a decoder's
        // planes and buffers end up in the shared heap and stay there after
        // it frees them; the next buffer of the same picture then comes on
        // top (a 12 MP HEIC to RGBA: 122 MB at the peak instead of 90).
        mallopt(M_MMAP_THRESHOLD, 1 << 20);
    });
}
