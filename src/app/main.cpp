#include "account/ui/KWebView.h"
#include "app/ui/KApplication.h"

int main(int argc, char *argv[])
{
    // The login page's web engine needs its settings before the application exists.
    KWebView::prepareEngine();
    KApplication app(argc, argv);
    return app.exec();
}
