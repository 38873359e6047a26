#pragma once

#include <mutex>

#include <QByteArray>
#include <QString>

// A system library the program opens the first time it needs it rather than
// when it starts. Linking libheif and FreeImage made every start of the
// program map and relocate them and the dozen codec libraries behind them
// (x265, aom, OpenEXR, LibRaw, ...), about 13 ms and 8 MB before the first
// file, even for work that never touches them.
//
// The functions the program calls are defined by us with the library's own
// declarations (HeifLibrary.cpp, FreeImageLibrary.cpp); each looks its real
// function up once and calls it. Code that starts a piece of work with the
// library calls load() first, so that a missing library fails that file with
// a reason instead of stopping the program.
//
// Thread-safe: the library is opened once, by whichever thread asks first,
// and stays open until the process ends.
class LazyLibrary
{
public:
    // fileName: the library's run-time name (its SONAME, e.g. libheif.so.1)
    // or the path of one of the program's own libraries.
    // what: what the program loses without it, for the failure reason.
    LazyLibrary(const QByteArray &fileName, const QString &what);
    LazyLibrary(const LazyLibrary &) = delete;
    LazyLibrary &operator=(const LazyLibrary &) = delete;

    // Opens the library if it is not open yet. False, with the reason in
    // *why, when it cannot be opened.
    bool load(QString *why = nullptr);

    // The path of one of the program's own libraries, fileName beside the
    // executable (ownFilePath); where there is none, the path it should have,
    // so that the reason names it.
    static QByteArray ownLibraryPath(const QString &fileName);

    // function(name) as a pointer of the function's own type, e.g.
    // entry<decltype(&QvSvgOpen)>("QvSvgOpen").
    template <typename Function> Function entry(const char *name)
    {
        return reinterpret_cast<Function>(function(name));
    }

    // The address of one of the library's functions. A function that cannot
    // be had ends the process with a message naming the library and the
    // function: the program was built against it, so only a broken
    // installation gets there, and only after load() has been skipped.
    void *function(const char *name);

    QByteArray fileName() const { return m_fileName; }

private:
    const QByteArray m_fileName;
    const QString m_what;
    std::once_flag m_once;
    void *m_handle = nullptr;
    QString m_error;
};

// Defines name, declared by the library's header with the given return type
// and parameters, as a call of the library's own function. args names the
// parameters in order, e.g.
//   QUORVEL_LAZY_FUNCTION(heifLibrary(), int, heif_image_get_width,
//       (const heif_image *image, heif_channel channel), (image, channel))
#define QUORVEL_LAZY_FUNCTION(library, result, name, parameters, args)                             \
    result name parameters                                                                         \
    {                                                                                              \
        static const auto real = reinterpret_cast<decltype(&name)>((library).function(#name));     \
        return real args;                                                                          \
    }
