#pragma once

#include <QLibrary>
#include <QObject>
#include <QString>

#include "qvpdfrender.h"

// Gate to the page renderer libqvpdfrender.so beside the executable. One
// process-wide instance, created on first use from whichever thread asks
// first and destroyed at exit. The library is loaded once and not retried:
// without it every page count is -1 and every conversion fails.
//
// pageCount and convertPage are called from the interface thread (page counts
// of added documents) and from the converter thread at the same time; the
// resolved entry points never change after construction and the library
// itself is safe for concurrent calls.
class KPdf2ImageProxy : public QObject
{
    Q_OBJECT
public:
    static KPdf2ImageProxy *instance();

    // A separate proxy on another copy of the library (tests, tools); the
    // program uses instance().
    explicit KPdf2ImageProxy(const QString &libraryPath, QObject *parent = nullptr);
    ~KPdf2ImageProxy() override;

    // appDir() + "/libqvpdfrender.so".
    static QString defaultLibraryPath();

    bool isLoaded() const { return m_loaded; }

    // The renderer's failure codes (QvPdfRenderResult), kept as they come,
    // plus one for a renderer that is not there.
    enum Result {
        Ok = 0,
        BadArgument = -1,
        CannotOpen = -2,
        CannotRender = -3,
        CannotWrite = -4,
        NoSpace = -5,
        Exists = -6,
        NeedsPassword = -7,
        NoRenderer = -100
    };

    // The document's page count (0 or more), or a negative Result when it
    // cannot be opened or the library is missing. second: the document's
    // password, normally empty.
    int pageCount(const QString &path, const QString &second) const;

    // Renders page (1-based) to outputPath in the format its suffix names.
    // Ok (0) when the image was written, otherwise a negative Result.
    int convertPage(
        const QString &path, const QString &second, int page, const QString &outputPath) const;

    // One document opened once for all the pages a worker renders from it;
    // used by one thread at a time. Closed when destroyed.
    class Document
    {
    public:
        Document(const KPdf2ImageProxy *proxy, const QString &path, const QString &second);
        ~Document();
        Document(const Document &) = delete;
        Document &operator=(const Document &) = delete;

        bool isOpen() const { return m_handle != nullptr; }
        // Ok, or the Result that kept the document from opening.
        int openResult() const { return m_openResult; }
        // The page count, or the negative Result of the failed open.
        int pageCount() const;
        // Renders page (1-based) to outputPath; on failure *error (when
        // given) gets one plain line ("no space left on the device").
        bool renderPage(int page, const QString &outputPath, QString *error = nullptr) const;

    private:
        const KPdf2ImageProxy *m_proxy;
        QvPdfDocument *m_handle = nullptr;
        int m_openResult = NoRenderer;
    };

    // One plain line for a negative Result ("protected by a password", ...).
    static QString errorText(int result);

private:
    using PageCountFn = int (*)(const char *, const char *);
    using ConvertPageFn = int (*)(const char *, const char *, int, const char *);

    QLibrary m_library;
    PageCountFn m_pageCount = nullptr;
    ConvertPageFn m_convertPage = nullptr;
    QvPdfOpenFn m_open = nullptr;
    QvPdfPageCountFn m_documentPageCount = nullptr;
    QvPdfRenderPageFn m_renderPage = nullptr;
    QvPdfCloseFn m_close = nullptr;
    bool m_loaded = false;
};
