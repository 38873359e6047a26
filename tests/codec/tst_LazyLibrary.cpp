#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include <zlib.h>

#include <QtTest>

#include "codec/LazyLibrary.h"

// The loader behind the libraries the program opens on first use: a missing
// library is a reason, not a crash, and many first uses at once open it once.
class tst_LazyLibrary : public QObject
{
    Q_OBJECT
private slots:
    void missingLibraryIsAReason();
    void manyFirstUsesAtOnce();
};

void tst_LazyLibrary::missingLibraryIsAReason()
{
    LazyLibrary library("libquorvel-absent.so.7", "Absent support (libquorvel-absent)");
    QString why;
    QVERIFY(!library.load(&why));
    QVERIFY2(why.startsWith(QLatin1String("Absent support (libquorvel-absent) is not installed")),
        qPrintable(why));
    QVERIFY2(why.contains(QLatin1String("libquorvel-absent.so.7")), qPrintable(why));
    // Asked again, the same answer without a second attempt.
    QString again;
    QVERIFY(!library.load(&again));
    QCOMPARE(again, why);
}

void tst_LazyLibrary::manyFirstUsesAtOnce()
{
    LazyLibrary library("libz.so.1", "zlib");
    // Sixteen threads held at a gate, then all let through to the first use.
    std::atomic<bool> go { false };
    std::vector<quintptr> addresses(16, 0);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < addresses.size(); ++i) {
        threads.emplace_back([&library, &go, &addresses, i] {
            while (!go.load())
                std::this_thread::yield();
            if (library.load())
                addresses[i] = quintptr(library.function("zlibVersion"));
        });
    }
    go = true;
    for (std::thread &thread : threads)
        thread.join();
    QVERIFY(addresses.front() != 0);
    QCOMPARE(size_t(std::count(addresses.cbegin(), addresses.cend(), addresses.front())),
        addresses.size());
    using Version = const char *(*)();
    const auto version = reinterpret_cast<Version>(library.function("zlibVersion"));
    QCOMPARE(QByteArray(version()), QByteArray(zlibVersion()));
}

QTEST_GUILESS_MAIN(tst_LazyLibrary)
#include "tst_LazyLibrary.moc"
