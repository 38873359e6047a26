#pragma once

#include <vector>

#include <QByteArray>

// Large (2 MB) pages for the C allocator's big blocks.
//
// A decoded photo and the codecs' working buffers (libjpeg's coefficients,
// LibRaw's picture) are blocks of tens of megabytes filled once, page by
// page, and every first touch of a 4 KB page costs the system a fault: on a
// virtual machine about as much as the work done on the page. Where the
// system gives large pages only to memory that asks for them (transparent
// huge pages in "madvise" mode, a common default), the C library asks for
// them for its big blocks when its setting glibc.malloc.hugetlb is 1. Two
// photos turned losslessly: 0.36 s -> 0.18 s; one camera RAW developed and
// written as JPEG: 0.98 s -> 0.72 s.
//
// The setting is read when a program starts, so it travels in the
// environment: the decode helper gets it when it is started, and the program
// gets it by starting itself again, which costs one more start (about
// 20 ms) and is done only for work big enough to repay it.
//
// A setting the user made in GLIBC_TUNABLES stands. Nothing changes where
// the system gives large pages to all memory anyway, or to none, and in
// sanitizer builds, whose allocator is not the C library's.
namespace LargePages {

// Whether asking makes a difference here: the system gives large pages on
// request only, and the allocator is the C library's.
bool askingHelps();

// current (GLIBC_TUNABLES, may be null) with the allocator's large-page
// setting added; empty when current already has a setting for it.
QByteArray tunablesWith(const char *current);

// This process's environment with the setting, for a program it starts.
// The same as the environment when asking does not help or it is set.
std::vector<QByteArray> environmentForChild();

// Whether the command line names work big enough to pay for starting again:
// a folder, or files of at least kWorthBytes together (a photo of three or
// four megapixels; a 12-megapixel HEIC takes 1.5 to 3 MB). The value of an
// output or password-file option is not an input.
constexpr qint64 kWorthBytes = 1024 * 1024;
bool worthRestarting(int argc, char **argv);

// Starts the program again from its own file, argv and the environment with
// the setting, when asking helps and it is not set yet. Returns only when it
// does not restart (then the program goes on as it is).
void restart(char **argv);

} // namespace LargePages
