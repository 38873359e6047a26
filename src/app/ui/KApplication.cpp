#include "KApplication.h"

#include <QDir>
#include <QFont>
#include <QResource>
#include <QTranslator>

#include "app/AppPaths.h"
#include "app/PSettings.h"
#include "app/Version.h"
#include "app/ui/KMainwindow.h"
#include "codec/CodecLibraries.h"
#include "codec/ImageFormats.h"
#include "widgets/StyleSheets.h"
#include "widgets/WidgetResources.h"

KApplication::KApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setOrganizationName(QStringLiteral("quorvel"));
    setApplicationName(QStringLiteral("quorvel"));
    setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
    installFontSubstitutions();
    m_settings = new PSettings();
    init();
}

KApplication::~KApplication()
{
    delete m_mainWindow;
    delete m_settings;
    delete m_translator;
}

void KApplication::init()
{
    const QString res = resDir();
    QResource::registerResource(res + QDir::separator() + QStringLiteral("default.rcc"), QString());

    m_translator = new QTranslator();
    m_translator->load(res + QDir::separator() + QStringLiteral("quorvel.qm"));
    installTranslator(m_translator);

    // Built after the translator so that its descriptions are translated.
    m_imageFormats = &ImageFormats::global();
    // Library-wide settings of the decoders, made once here before any worker runs.
    initialiseCodecLibraries();

    createMainWindow(QString());
}

void KApplication::createMainWindow(const QString &)
{
    m_mainWindow = new KMainwindow();
    WidgetResources::setMainWidget(m_mainWindow);
    m_mainWindow->show();
}

KApplication *KApplication::instance()
{
    return qobject_cast<KApplication *>(QCoreApplication::instance());
}

QWidget *KApplication::mainWidget()
{
    KApplication *app = instance();
    if (!app)
        return nullptr;
    return app->mainWindow();
}

QIcon KApplication::resourceIcon(const QString &name) { return WidgetResources::icon(name); }

QPixmap KApplication::resourcePixmap(const QString &name) { return WidgetResources::pixmap(name); }

void KApplication::installFontSubstitutions()
{
    QFont::insertSubstitutions(uiFontFamily(),
        { QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
            QStringLiteral("DejaVu Sans") });
}
