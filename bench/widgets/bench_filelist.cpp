// Times adding N files to the batch file list (as a drop does) and updating
// every row's state, the two things a large batch does on the interface thread.
//   bench_filelist [N=1000]
#include <cstdio>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "app/BatchResult.h"
#include "widgets/KTableListView.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int count = argc > 1 ? atoi(argv[1]) : 1000;
    QTemporaryDir dir;
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path = dir.filePath(QStringLiteral("photo %1.heic").arg(i));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(2048, 'x'));
        paths << path;
    }
    KTableListView list(nullptr);
    list.show();
    app.processEvents();
    QElapsedTimer timer;
    timer.start();
    list.appendFiles(paths);
    app.processEvents();
    const qint64 addMs = timer.elapsed();
    timer.restart();
    for (int i = 0; i < count; ++i)
        list.updateStatus({ i, BatchResult::Processing, QString(), QString() });
    for (int i = 0; i < count; ++i)
        list.updateStatus({ i, BatchResult::Succeeded, paths[i], QString() });
    app.processEvents();
    const qint64 statusMs = timer.elapsed();
    std::printf("files=%d add_ms=%lld status_updates_ms=%lld (%d records)\n", count,
        static_cast<long long>(addMs), static_cast<long long>(statusMs), 2 * count);
    return 0;
}
