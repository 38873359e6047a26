#include "KCliReporter.h"

#include <cstdio>

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include "codec/FileNameCodec.h"

namespace {

void write(FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

KCliReporter::KCliReporter(FILE *results, bool json, bool progressBar)
    : m_results(results)
    , m_json(json)
    , m_progressBar(progressBar)
{
}

KCliReporter::~KCliReporter() { clearBar(); }

void KCliReporter::setTotal(int total)
{
    m_total = total;
    drawBar();
}

QByteArray KCliReporter::jsonLine(const CliRowResult &raw)
{
    // Names that are not UTF-8 are shown with U+FFFD where a byte was not.
    CliRowResult result = raw;
    result.input = FileNameCodec::forDisplay(raw.input);
    result.output = FileNameCodec::forDisplay(raw.output);
    QJsonObject object;
    object.insert(QStringLiteral("input"), result.input);
    object.insert(
        QStringLiteral("status"), result.ok ? QStringLiteral("ok") : QStringLiteral("failed"));
    object.insert(QStringLiteral("output"),
        result.output.isEmpty() ? QJsonValue() : QJsonValue(result.output));
    object.insert(QStringLiteral("bytes"), double(result.bytes));
    object.insert(
        QStringLiteral("error"), result.error.isEmpty() ? QJsonValue() : QJsonValue(result.error));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void KCliReporter::rowFinished(const CliRowResult &raw)
{
    CliRowResult result = raw;
    result.input = FileNameCodec::forDisplay(raw.input);
    result.output = FileNameCodec::forDisplay(raw.output);
    ++m_done;
    clearBar();
    if (m_json)
        write(m_results, jsonLine(raw) + '\n');
    else if (result.ok)
        write(m_results,
            (result.input + QStringLiteral(" -> ") + result.output).toLocal8Bit() + '\n');
    if (!result.ok)
        write(stderr,
            (QStringLiteral("quorvel-cli: ") + result.input + QStringLiteral(": ") + result.error)
                    .toLocal8Bit()
                + '\n');
    drawBar();
}

void KCliReporter::error(const QString &text)
{
    clearBar();
    write(stderr, (QStringLiteral("quorvel-cli: ") + text).toLocal8Bit() + '\n');
    drawBar();
}

void KCliReporter::summary(int succeeded, int failed, const QString &outputDir, bool interrupted)
{
    clearBar();
    QString text = QStringLiteral("%1 of %2 done").arg(succeeded).arg(succeeded + failed);
    if (failed > 0)
        text += QStringLiteral(", %1 failed").arg(failed);
    if (interrupted)
        text += QStringLiteral(", interrupted");
    if (succeeded > 0)
        text += QStringLiteral("; output in ") + outputDir;
    write(stderr, text.toLocal8Bit() + '\n');
}

void KCliReporter::clearBar()
{
    if (!m_barShown)
        return;
    write(stderr, QByteArrayLiteral("\r\033[K"));
    m_barShown = false;
}

void KCliReporter::drawBar()
{
    if (!m_progressBar || m_total <= 0)
        return;
    const int width = 30;
    const int filled = m_done * width / m_total;
    QByteArray bar = "\r[";
    bar += QByteArray(filled, '#');
    bar += QByteArray(width - filled, '.');
    bar += "] " + QByteArray::number(m_done) + '/' + QByteArray::number(m_total);
    write(stderr, bar);
    m_barShown = true;
}
