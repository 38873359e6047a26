#include "app/ui/KApplication.h"

int main(int argc, char *argv[])
{
    KApplication app(argc, argv);
    return app.exec();
}
