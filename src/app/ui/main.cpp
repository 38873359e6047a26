#include <cstdio>
#include <cstring>

#include <QFileInfo>
#include <QStringList>
#include <QUrl>

#include "account/KAccoutManager.h"
#include "account/ui/KWebView.h"
#include "app/LargePages.h"
#include "app/MemoryReuse.h"
#include "app/Version.h"
#include "app/ui/KApplication.h"
#include "app/ui/KMainwindow.h"
#include "codec/FileNameCodec.h"

namespace {

const char *const helpText
    = "Usage: quorvel [FILE...]\n"
      "\n"
      "The quorvel image toolbox: text recognition, format conversion, JPEG and GIF\n"
      "compression, batch compress, rotate and resize, images to PDF and PDF pages to\n"
      "images, in one window.\n"
      "\n"
      "Images named on the command line are listed in the Image Convert tool, PDF\n"
      "documents in PDF to PIC. The window takes no other options.\n"
      "\n"
      "  -h, --help     Show this help and exit.\n"
      "      --version  Show the version and exit.\n"
      "\n"
      "The same engines run without a window in quorvel-cli.\n";

// The files among the arguments the toolkit left (it takes -platform and
// the like for itself). Everything after "--" is a file; other words that
// start with a dash are not.
QStringList fileArguments(int argc, char **argv)
{
    QStringList files;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && argument.startsWith(QLatin1Char('-'))) {
            std::fprintf(stderr, "quorvel: unknown option %s ignored\n", argv[i]);
        } else if (argument.startsWith(QLatin1String("file:"))) {
            files << QUrl(argument).toLocalFile();
        } else {
            files << QFileInfo(argument).absoluteFilePath();
        }
    }
    return files;
}

} // namespace

int main(int argc, char *argv[])
{
    // Answered before the application object exists, so that no display is needed.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(helpText, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("quorvel " QUORVEL_VERSION "\n", stdout);
            return 0;
        }
    }
    // The window's tools work on photos: their big blocks get large pages.
    // This may start the program again.
    LargePages::restart(argv);
    MemoryReuse::fixThreshold();
    // Names that are not valid UTF-8 keep their bytes (see FileNameCodec).
    FileNameCodec::install();
    // The login page's web engine needs its settings before the application exists.
    KWebView::prepareEngine();
    KApplication app(argc, argv);
    // "Log in" opens the service's sign-in page in the web view.
    KAccoutManager::instance()->setLoginPresenter(&KWebView::runLogin);
    const QStringList files = fileArguments(argc, argv);
    if (!files.isEmpty() && app.mainWindow()) {
        const QStringList rejected = app.mainWindow()->openFiles(files);
        for (const QString &path : rejected)
            std::fprintf(stderr, "quorvel: %s: not an image or PDF document that can be opened\n",
                qPrintable(path));
    }
    return app.exec();
}
