#include "account/KAccoutManager.h"
#include "account/ui/KWebView.h"
#include "app/ui/KApplication.h"

int main(int argc, char *argv[])
{
    // The login page's web engine needs its settings before the application exists.
    KWebView::prepareEngine();
    KApplication app(argc, argv);
    // "Log in" opens the service's sign-in page in the web view.
    KAccoutManager::instance()->setLoginPresenter(&KWebView::runLogin);
    return app.exec();
}
