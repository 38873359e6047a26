#include "KWebView.h"

#include <cstdio>

#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLibraryInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QUrl>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include "account/KAccoutManager.h"
#include "online/ServiceEndpoint.h"
#include "widgets/KMessageTips.h"
#include "widgets/KShadowBorder.h"
#include "widgets/StyleSheets.h"
#include "widgets/WidgetResources.h"

namespace {

const char kAppId[] = "588743635";

// The object the page's callbacks reach through the web channel.
class LoginBridge : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void received(const QString &json);

public slots:
    void loginResult(const QString &json) { emit received(json); }
};

// Defined while the document is created, so a page script that runs at once
// finds the functions; results wait until the channel is up.
const char kBindScript[] = R"JS(
(function () {
    if (window.qqCallBack && window.qqCallBack.quorvel) return;
    var bridge = null, pending = [];
    function send(result) {
        var text = String(result);
        if (bridge) bridge.loginResult(text); else pending.push(text);
    }
    function connect() {
        if (typeof qt === 'undefined' || !qt.webChannelTransport) {
            setTimeout(connect, 20);
            return;
        }
        new QWebChannel(qt.webChannelTransport, function (channel) {
            bridge = channel.objects.quorvelLogin;
            pending.forEach(function (t) { bridge.loginResult(t); });
            pending = [];
        });
    }
    window.qqCallBack = function (result, unused) { send(result); };
    window.weixinCallBack = function (result, unused) { send(result); };
    window.qqCallBack.quorvel = true;
    connect();
})();
)JS";

// The dialog's title shares its wording with the account button's.
QString loginTitle() { return QCoreApplication::translate("KLoginButton", "qqLogin"); }

QString webChannelScript()
{
    QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

QString processPath()
{
    const QByteArray configured = qgetenv("QTWEBENGINEPROCESS_PATH");
    if (!configured.isEmpty())
        return QString::fromLocal8Bit(configured);
    return QLibraryInfo::location(QLibraryInfo::LibraryExecutablesPath)
        + QStringLiteral("/QtWebEngineProcess");
}

bool sandboxDisabled()
{
    return qgetenv("QTWEBENGINE_DISABLE_SANDBOX") == "1"
        || qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").contains("--no-sandbox");
}

} // namespace

QString KWebView::authorizeUrl(const QString &baseUrl)
{
    const QString callback = baseUrl + QStringLiteral("/qq/callback");
    // Lower-case escapes: http%3a%2f%2f...
    QString encoded;
    for (const char c : QUrl::toPercentEncoding(callback)) {
        encoded += QLatin1Char(c);
    }
    QString lowered;
    for (int i = 0; i < encoded.size(); ++i) {
        if (encoded.at(i) == QLatin1Char('%') && i + 2 < encoded.size()) {
            lowered += encoded.mid(i, 3).toLower();
            i += 2;
        } else {
            lowered += encoded.at(i);
        }
    }
    return baseUrl + QStringLiteral("/oauth2.0/authorize?response_type=code&client_id=")
        + QLatin1String(kAppId) + QStringLiteral("&redirect_uri=") + lowered;
}

void KWebView::prepareEngine()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0 && !sandboxDisabled())
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // Without a GPU surface (offscreen) the scene graph must draw in software.
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen"
        && qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
}

QString KWebView::engineProblem()
{
    if (!QFileInfo(processPath()).isExecutable())
        return tr("the web engine is not installed (%1 is missing)").arg(processPath());
    if (::geteuid() == 0 && !sandboxDisabled())
        return tr("the web engine cannot run as root with its sandbox on");
    if (!QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts))
        return tr("the web engine was not prepared when the program started");
    if (QGuiApplication::platformName() == QLatin1String("offscreen")
        && qgetenv("QT_QUICK_BACKEND") != "software")
        return tr("the web engine needs a display or software rendering");
    return QString();
}

void KWebView::runLogin(KAccoutManager *manager)
{
    QString problem = engineProblem();
    // Without a service there is no page to show (the reason is on stderr).
    if (problem.isEmpty() && ServiceEndpoint::baseUrl().isEmpty())
        problem = tr("the online service is not available");
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "quorvel: login page unavailable: %s\n", qPrintable(problem));
        auto *tips = new KMessageTips(loginTitle(),
            tr("The login page cannot be shown: %1").arg(problem), WidgetResources::mainWidget());
        tips->setConfirmButtons();
        tips->exec();
        return;
    }
    auto *view = new KWebView(loginTitle(), WidgetResources::mainWidget());
    view->setAccountManager(manager);
    view->setUrl(QString());
    view->exec();
    delete view;
}

KWebView::KWebView(const QString &title, QWidget *parent)
    : KBaseDialog(parent)
{
    setFixedSize(750, 560);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    new KShadowBorder(this, this, 10);

    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *row = new QHBoxLayout();
    row->setContentsMargins(10, 0, 10, 530);
    row->setSpacing(11);
    m_title = new QLabel(title, this);
    m_title->setFixedSize(72, 30);
    QFont font(uiFontFamily());
    font.setPixelSize(12);
    m_title->setFont(font);
    row->addWidget(m_title);
    row->addSpacing(645);
    m_close = new QPushButton(this);
    m_close->setFixedSize(12, 12);
    m_close->setIconSize(QSize(12, 12));
    m_close->setStyleSheet(buttonStyleSheet(QStringLiteral("closeWindow")));
    m_close->setFocusPolicy(Qt::NoFocus);
    row->addWidget(m_close);
    outer->addLayout(row);
    outer->addStretch();

    // The page fills the area below the strip.
    m_view = new QWebEngineView(this);
    m_view->setGeometry(0, 30, 750, 530);
    // A private profile per dialog; the page is deleted before it (destructor).
    auto *page = new QWebEnginePage(new QWebEngineProfile(this), m_view);
    m_view->setPage(page);
    auto *channel = new QWebChannel(page);
    auto *bridge = new LoginBridge(this);
    connect(bridge, &LoginBridge::received, this, [this](const QString &json) {
        if (m_manager)
            m_manager->onLoginResult(json);
    });
    channel->registerObject(QStringLiteral("quorvelLogin"), bridge);
    page->setWebChannel(channel);
    QWebEngineScript script;
    script.setName(QStringLiteral("quorvelLoginCallbacks"));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(webChannelScript() + QLatin1String(kBindScript));
    page->scripts().insert(script);
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
        [this](QWebEnginePage::RenderProcessTerminationStatus status, int code) {
            if (status != QWebEnginePage::NormalTerminationStatus)
                onRenderProcessGone(tr("the page stopped (code %1)").arg(code));
        });

    connect(m_close, &QPushButton::clicked, this, &KWebView::onClose);
    // Under a bare X server nothing gives a new window focus; the autofocused
    // field of the page needs it.
    connect(m_view, &QWebEngineView::loadFinished, this, [this] {
        if (isVisible())
            m_view->setFocus();
    });
    setAccountManager(KAccoutManager::instance());

    m_url = authorizeUrl(ServiceEndpoint::baseUrl());
    m_view->load(QUrl(m_url));
    m_view->show();
}

KWebView::~KWebView()
{
    // The page goes before its profile (both are children of the view).
    delete m_view;
}

void KWebView::setAccountManager(KAccoutManager *manager)
{
    if (m_manager)
        disconnect(m_manager, nullptr, this, nullptr);
    m_manager = manager;
    if (m_manager)
        connect(m_manager, &KAccoutManager::logined, this, &KWebView::onClose);
}

void KWebView::showEvent(QShowEvent *event)
{
    KBaseDialog::showEvent(event);
    activateWindow();
    m_view->setFocus();
}

void KWebView::setUrl(const QString &url)
{
    if (url.isEmpty())
        return;
    m_url = url;
    m_view->load(QUrl(m_url));
}

void KWebView::reload()
{
    if (!m_url.isEmpty())
        m_view->load(QUrl(m_url));
}

void KWebView::onClose()
{
    m_view->hide();
    close();
}

void KWebView::onRenderProcessGone(const QString &reason)
{
    std::fprintf(stderr, "quorvel: login page failed: %s\n", qPrintable(reason));
    onClose();
    auto *tips = new KMessageTips(
        loginTitle(), tr("The login page cannot be shown: %1").arg(reason), parentWidget());
    tips->setConfirmButtons();
    tips->exec();
}

void KWebView::mousePressEvent(QMouseEvent *event)
{
    // The rightmost 30 pixels hold the close button: no drag there.
    if (event->button() == Qt::LeftButton && event->pos().x() < width() - 30) {
        m_dragging = true;
        m_pressPos = event->pos();
    }
    QDialog::mousePressEvent(event);
}

void KWebView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging)
        move(pos() + (event->pos() - m_pressPos));
    QDialog::mouseMoveEvent(event);
}

void KWebView::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}

void KWebView::paintEvent(QPaintEvent *event)
{
    KBaseDialog::paintEvent(event);
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, width(), 30), QColor(240, 233, 255));
}

#include "KWebView.moc"
