// libFuzzer entry point: the input bytes become one file, named with the
// extension that routes it to the decoder under test, and go through
// KImageWrapper like any file the user adds. Built once per decoder (see
// CMakeLists.txt); QUORVEL_FUZZ_EXTENSION names the extension, or "data"
// for KImageWrapper::loadFromData.

#include <cstdint>
#include <cstdlib>

#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>

#include "codec/KImageWrapper.h"

namespace {

QString g_path;

void touchFrames(const KImageWrapper &wrapper)
{
    // Ask for frames the way the tools do: the first, a few more (GIF
    // composition, lazy TIFF pages), the last, and one past the end.
    const int count = wrapper.frameCount();
    for (int i : { 0, 1, 2, 8, 9, count / 2, count - 1, count }) {
        const QImage frame = wrapper.frameAt(i);
        if (!frame.isNull() && frame.width() > 0)
            (void)frame.pixel(frame.width() - 1, frame.height() - 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.debug=false;*.warning=false");
    static QGuiApplication *app = new QGuiApplication(*argc, *argv);
    Q_UNUSED(app)
    // Files live in memory-backed storage when there is some.
    const QString dir
        = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    g_path = QStringLiteral("%1/quorvel-fuzz-%2.%3")
                 .arg(dir)
                 .arg(getpid())
                 .arg(QStringLiteral(QUORVEL_FUZZ_EXTENSION));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    KImageWrapper wrapper;
    if (QLatin1String(QUORVEL_FUZZ_EXTENSION) == QLatin1String("data")) {
        if (wrapper.loadFromData(bytes))
            touchFrames(wrapper);
        return 0;
    }
    QFile file(g_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        abort();
    file.close();
    if (wrapper.load(g_path))
        touchFrames(wrapper);
    return 0;
}
