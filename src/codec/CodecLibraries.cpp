#include "CodecLibraries.h"

#include <mutex>

#include <tiffio.h>

void initialiseCodecLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetWarningHandler(nullptr);
        TIFFSetErrorHandler(nullptr);
    });
}
