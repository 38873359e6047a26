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

KCliReporter::KCliReporter(FILE *results, bool json, bool progressLine, bool summary)
    : m_results(results)
    , m_json(json)
    , m_summary(summary)
    , m_progress(stderr, progressLine)
{
}

KCliReporter::~KCliReporter() { m_progress.clear(); }

void KCliReporter::setTotal(int total) { m_progress.start(total); }

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
    m_progress.fileFinished(!result.ok);
    m_progress.clear();
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
    m_progress.redraw();
}

void KCliReporter::error(const QString &text)
{
    m_progress.clear();
    write(stderr, (QStringLiteral("quorvel-cli: ") + text).toLocal8Bit() + '\n');
    m_progress.redraw();
}

void KCliReporter::summary(int succeeded, int failed, const QString &outputDir, bool interrupted)
{
    // The last state of the progress line stays on screen above the summary.
    m_progress.finish();
    if (!m_summary)
        return;
    QString text = QStringLiteral("%1 of %2 done").arg(succeeded).arg(succeeded + failed);
    if (failed > 0)
        text += QStringLiteral(", %1 failed").arg(failed);
    if (interrupted)
        text += QStringLiteral(", interrupted");
    if (succeeded > 0)
        text += QStringLiteral("; output in ") + outputDir;
    write(stderr, text.toLocal8Bit() + '\n');
}
