#include "app/ui/KApplication.h"
#include "codec/FileNameCodec.h"

int main(int argc, char *argv[])
{
    // Names that are not valid UTF-8 keep their bytes (see FileNameCodec).
    FileNameCodec::install();
    KApplication app(argc, argv);
    return app.exec();
}
