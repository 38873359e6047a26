#pragma once

#include <QPointer>

#include "widgets/KBaseDialog.h"

class KAccoutManager;
class QLabel;
class QPushButton;
class QWebEngineView;

// The login dialog: a frameless 750 x 560 window with a title strip and the
// service's authorisation page below it. Every page gets the global functions
// qqCallBack and weixinCallBack, which hand their first argument (the login
// result JSON) to the account manager; the dialog closes when the manager
// reports the login. Interface thread; created and deleted per login by runLogin().
class KWebView : public KBaseDialog
{
    Q_OBJECT
public:
    KWebView(const QString &title, QWidget *parent = nullptr);
    ~KWebView() override;

    // An empty text keeps the page already loaded.
    void setUrl(const QString &url);
    void reload();
    QString url() const { return m_url; }
    QWebEngineView *webView() const { return m_view; }
    QPushButton *closeButton() const { return m_close; }
    // The manager that receives the login result (the process-wide one by default).
    void setAccountManager(KAccoutManager *manager);

    // The service's /oauth2.0/authorize address with the compiled-in app id and
    // the service's own /qq/callback as redirect_uri.
    static QString authorizeUrl(const QString &baseUrl);

    // Called before the application object exists: shared GL contexts, and the
    // engine's sandbox switched off when running as root (it cannot run there).
    static void prepareEngine();
    // Why the web engine cannot run in this process, or empty when it can.
    static QString engineProblem();

    // The login of the account manager: one dialog, run modally, then deleted.
    // When the engine cannot run, a message says why and no dialog opens.
    static void runLogin(KAccoutManager *manager);

protected slots:
    void onClose();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void onRenderProcessGone(const QString &reason);

    QString m_url;
    bool m_dragging = false;
    QPoint m_pressPos;
    QLabel *m_title = nullptr;
    QPushButton *m_close = nullptr;
    QWebEngineView *m_view = nullptr;
    QPointer<KAccoutManager> m_manager;
};
