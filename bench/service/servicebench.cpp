// Benchmark helper for quorvel-service (never part of ctest).
//
//   servicebench corpus DIR          writes text pictures (small text, low contrast,
//                                    a 2 degree turn, noise, and all of them with a
//                                    shadow: "photo") with their truth as .txt
//   servicebench recognise DIR       runs the service's text engine in-process on
//                                    every .png of DIR, writes <name>.ours.txt and
//                                    prints "name wall-ms cpu-ms" per picture
//   servicebench query BASEURL N S   N signed clients query one job for S seconds;
//                                    prints requests, errors and requests/s

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>
#include <unistd.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QUuid>

#include "RequestSignature.h"
#include "ServiceKeys.h"
#include "TextRecognitionEngine.h"

using namespace quorvel::service;

namespace {

const char *const kLines[] = {
    "Invoice 2291 was paid on the third of March by bank transfer.",
    "Please keep this receipt together with the warranty card.",
    "The meeting moves to room 14 on the second floor at 10:30.",
    "Fresh bread, two litres of milk, apples and a jar of honey.",
    "Our opening hours are Monday to Friday from 9 am to 6 pm.",
    "The parcel left the warehouse and should arrive on Tuesday.",
    "Turn left after the bridge and follow the signs to the museum.",
    "Total due: 48.70 EUR including 19% value added tax.",
    "Remember to water the plants and feed the cat every morning.",
    "The library will be closed during the public holidays.",
    "Quiet trains leave every fifteen minutes from platform six.",
    "Maximum load of the lift is eight persons or 630 kg.",
};

struct Variant
{
    const char *name;
    int pixelSize;
    int ink;
    int paper;
    double degrees;
    int noise; // +- range
    bool shadow;
};

const Variant kVariants[] = {
    { "small", 11, 20, 250, 0.0, 0, false },
    { "lowcontrast", 15, 150, 195, 0.0, 0, false },
    { "skew2", 15, 20, 250, 2.0, 0, false },
    { "noise", 15, 40, 230, 0.0, 40, false },
    { "photo", 12, 80, 205, -2.0, 24, true },
};

quint32 g_seed = 12345;
int noiseValue(int range)
{
    g_seed = g_seed * 1664525u + 1013904223u;
    return int((g_seed >> 8) % unsigned(2 * range + 1)) - range;
}

QImage render(const QStringList &lines, const Variant &v)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(v.pixelSize);
    const int lineHeight = v.pixelSize * 2;
    const int width = v.pixelSize * 40;
    const int height = lineHeight * (lines.size() + 2);
    QImage image(width, height, QImage::Format_Grayscale8);
    image.fill(QColor(v.paper, v.paper, v.paper));
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(font);
        painter.setPen(QColor(v.ink, v.ink, v.ink));
        painter.translate(width / 2.0, height / 2.0);
        painter.rotate(v.degrees);
        painter.translate(-width / 2.0, -height / 2.0);
        for (int i = 0; i < lines.size(); ++i)
            painter.drawText(v.pixelSize, lineHeight * (i + 1) + v.pixelSize / 2, lines.at(i));
    }
    for (int y = 0; y < height; ++y) {
        uchar *row = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            int value = row[x];
            if (v.shadow) // light falling off towards the lower right corner
                value = value * (100 - 35 * (x + y) / (width + height)) / 100;
            if (v.noise)
                value += noiseValue(v.noise);
            row[x] = uchar(qBound(0, value, 255));
        }
    }
    return image;
}

int makeCorpus(const QString &dir)
{
    QDir().mkpath(dir);
    int index = 0;
    for (const Variant &variant : kVariants) {
        for (int copy = 0; copy < 2; ++copy) {
            QStringList lines;
            for (int i = 0; i < 3; ++i)
                lines << QString::fromLatin1(kLines[(index * 3 + i) % 12]);
            ++index;
            const QString base
                = QStringLiteral("%1/%2-%3").arg(dir, QLatin1String(variant.name)).arg(copy + 1);
            render(lines, variant).save(base + QStringLiteral(".png"));
            QFile truth(base + QStringLiteral(".txt"));
            if (!truth.open(QIODevice::WriteOnly))
                return 1;
            truth.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
        }
    }
    return 0;
}

int recognise(const QString &dir)
{
    const QStringList pictures
        = QDir(dir).entryList({ QStringLiteral("*.png") }, QDir::Files, QDir::Name);
    for (const QString &name : pictures) {
        const auto started = std::chrono::steady_clock::now();
        const std::clock_t cpuStarted = std::clock();
        const EngineOutcome outcome
            = recogniseText(EngineJob { "pic2txt",
                                QString(dir + QLatin1Char('/') + name).toStdString(), "png", "" },
                [](int) { return true; });
        const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - started)
                                .count();
        QFile out(dir + QLatin1Char('/')
            + QString(name).replace(QStringLiteral(".png"), QStringLiteral(".ours.txt")));
        if (!out.open(QIODevice::WriteOnly))
            return 1;
        out.write(outcome.result.c_str());
        const long long cpuMillis = (std::clock() - cpuStarted) * 1000LL / CLOCKS_PER_SEC;
        std::printf("%s %lld %lld\n", qPrintable(name), static_cast<long long>(millis), cpuMillis);
        std::fflush(stdout);
    }
    return 0;
}

httplib::Headers signedHeaders(const ServiceKeys &keys, const std::string &path)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    static const char *const days[] = { "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun" };
    static const char *const months[]
        = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    char date[64];
    std::snprintf(date, sizeof date, "%s,%02d %s %d %s GMT", days[now.date().dayOfWeek() - 1],
        now.date().day(), months[now.date().month() - 1], now.date().year(),
        qPrintable(now.time().toString(QStringLiteral("hh:mm:ss"))));
    const std::string signature = signatureFor(keys.service.secret,
        stringToSign(
            "POST", "application/json", date, path, keys.service.key, "pc-lumistrand", "demo-sid"));
    return { { "Date", date },
        { "token", "lumistrand:picenhance:" + keys.service.key + ":" + signature },
        { "Client-Type", "pc-lumistrand" }, { "Cookie", "sid=demo-sid" } };
}

int query(const std::string &base, int clients, int seconds)
{
    const ServiceKeys keys = ServiceKeys::fromEnvironment();
    const std::string hostPort = base.substr(base.find("//") + 2);
    const std::string host = hostPort.substr(0, hostPort.rfind(':'));
    const int port = std::stoi(hostPort.substr(hostPort.rfind(':') + 1));

    // One small contrast job to query.
    QImage picture(64, 64, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    const std::string md5
        = QCryptographicHash::hash(png, QCryptographicHash::Md5).toHex().toStdString();
    const std::string uuid = QUuid::createUuid().toString().toStdString();
    const std::string key = "ai/" + md5 + uuid + std::to_string(QDateTime::currentSecsSinceEpoch())
        + "/" + uuid.substr(1, 6) + ".png";
    httplib::Client setup(host, port);
    auto urlReply
        = setup.Post("/api/v1/object/uploadurl", signedHeaders(keys, "/api/v1/object/uploadurl"),
            "{\"key\":\"" + key + "\"}", "application/json");
    if (!urlReply || urlReply->status != 200) {
        std::fprintf(stderr, "upload URL failed\n");
        return 1;
    }
    const QString url = QJsonDocument::fromJson(QByteArray::fromStdString(urlReply->body))
                            .object()[QStringLiteral("data")]
                            .toObject()[QStringLiteral("url")]
                            .toString();
    const std::string target = url.mid(url.indexOf(QLatin1Char('/'), 8)).toStdString();
    auto put = setup.Put(target.c_str(), png.toStdString(), "application/ocet-stream");
    QJsonObject create { { QStringLiteral("key"), QString::fromStdString(key) },
        { QStringLiteral("size"), png.size() },
        { QStringLiteral("md5"), QString::fromStdString(md5) },
        { QStringLiteral("type"), QStringLiteral("picenhance") } };
    auto created = setup.Post("/api/v1/ai/images", signedHeaders(keys, "/api/v1/ai/images"),
        QJsonDocument(create).toJson(QJsonDocument::Compact).toStdString(), "application/json");
    if (!put || put->status != 200 || !created || created->status != 200) {
        std::fprintf(stderr, "job creation failed\n");
        return 1;
    }
    const std::string jobId = QJsonDocument::fromJson(QByteArray::fromStdString(created->body))
                                  .object()[QStringLiteral("data")]
                                  .toObject()[QStringLiteral("jobid")]
                                  .toString()
                                  .toStdString();
    const std::string body = "{\"jobid\":\"" + jobId + "\"}";

    std::atomic<long> done { 0 }, errors { 0 };
    std::atomic<bool> running { true };
    std::vector<std::thread> threads;
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < clients; ++i) {
        threads.emplace_back([&] {
            httplib::Client client(host, port);
            client.set_keep_alive(true);
            client.set_tcp_nodelay(true);
            while (running) {
                auto reply = client.Post("/api/v1/ai/query",
                    signedHeaders(keys, "/api/v1/ai/query"), body, "application/json");
                if (reply && reply->status == 200)
                    ++done;
                else
                    ++errors;
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    running = false;
    for (auto &thread : threads)
        thread.join();
    const double elapsed
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("clients %d  requests %ld  errors %ld  seconds %.2f  requests/s %.0f\n", clients,
        done.load(), errors.load(), elapsed, double(done.load()) / elapsed);
    return errors.load() == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    // Measure the engine as the service runs it: one OpenMP thread per recognition.
    if (!std::getenv("OMP_THREAD_LIMIT")) {
        ::setenv("OMP_THREAD_LIMIT", "1", 1);
        ::execv("/proc/self/exe", argv);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args[1] == QLatin1String("corpus"))
        return makeCorpus(args[2]);
    if (args.size() >= 3 && args[1] == QLatin1String("recognise"))
        return recognise(args[2]);
    if (args.size() >= 5 && args[1] == QLatin1String("query"))
        return query(args[2].toStdString(), args[3].toInt(), args[4].toInt());
    std::fprintf(
        stderr, "usage: servicebench corpus DIR | recognise DIR | query BASEURL CLIENTS SECONDS\n");
    return 2;
}
