#include "KCliProgressLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <QTimer>

namespace {

const int barWidth = 20;
const int fallbackWidth = 80;

} // namespace

KCliProgressLine::KCliProgressLine(FILE *stream, bool enabled, QObject *parent)
    : QObject(parent)
    , m_stream(stream)
    , m_enabled(enabled && stream)
{
    if (!m_enabled)
        return;
    m_tick = new QTimer(this);
    m_tick->setInterval(1000);
    connect(m_tick, &QTimer::timeout, this, &KCliProgressLine::redraw);
}

KCliProgressLine::~KCliProgressLine() { clear(); }

bool KCliProgressLine::standardErrorIsTerminal()
{
    if (::isatty(STDERR_FILENO) != 1)
        return false;
    // A terminal that cannot erase a line would show every state in a row.
    return qgetenv("TERM") != "dumb";
}

void KCliProgressLine::start(int total)
{
    m_total = total;
    m_done = 0;
    m_failed = 0;
    if (!m_enabled || total <= 0)
        return;
    m_clock.start();
    m_running = true;
    m_tick->start();
    draw();
}

void KCliProgressLine::fileFinished(bool failed)
{
    ++m_done;
    if (failed)
        ++m_failed;
}

void KCliProgressLine::clear()
{
    if (!m_shown)
        return;
    std::fputs("\r\033[K", m_stream);
    std::fflush(m_stream);
    m_shown = false;
}

void KCliProgressLine::redraw()
{
    if (m_running)
        draw();
}

void KCliProgressLine::finish()
{
    if (!m_running)
        return;
    draw();
    std::fputc('\n', m_stream);
    std::fflush(m_stream);
    m_shown = false;
    m_running = false;
    m_tick->stop();
}

QString KCliProgressLine::clock(qint64 ms)
{
    const qint64 seconds = qMax<qint64>(0, ms) / 1000;
    const qint64 h = seconds / 3600;
    const qint64 m = (seconds / 60) % 60;
    const qint64 s = seconds % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(h)
            .arg(m, 2, 10, QLatin1Char('0'))
            .arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

QString KCliProgressLine::text(int done, int total, int failed, qint64 elapsedMs, int width)
{
    const QString counts = QStringLiteral("%1/%2").arg(done).arg(total);
    QString files = counts + QStringLiteral(" files");
    if (failed > 0)
        files += QStringLiteral(", %1 failed").arg(failed);
    const QString timed = files + QStringLiteral(", %1 elapsed").arg(clock(elapsedMs));
    QString full = timed;
    if (done > 0 && done < total) {
        // The pace so far (all jobs together) applied to the files left,
        // rounded up so that "0:00 left" never shows while work remains.
        const qint64 left = elapsedMs * (total - done) / done;
        full += QStringLiteral(", about %1 left").arg(clock(left + 999));
    }
    const int filled = total > 0 ? qBound(0, done * barWidth / total, barWidth) : 0;
    const QString withBar = QLatin1Char('[') + QString(filled, QLatin1Char('#'))
        + QString(barWidth - filled, QLatin1Char('.')) + QStringLiteral("] ") + full;
    // One column stays free: writing into the last one wraps on some
    // terminals. Narrow terminals lose the bar first, then the estimate, the
    // clock and the failures; the counts come last.
    const int room = qMax(1, width - 1);
    for (const QString &line : { withBar, full, timed, files, counts }) {
        if (line.size() <= room)
            return line;
    }
    return counts.left(room);
}

int KCliProgressLine::terminalWidth() const
{
    winsize size {};
    if (::ioctl(::fileno(m_stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return fallbackWidth;
}

void KCliProgressLine::draw()
{
    const QByteArray line
        = text(m_done, m_total, m_failed, m_clock.elapsed(), terminalWidth()).toLocal8Bit();
    std::fputs("\r\033[K", m_stream);
    std::fwrite(line.constData(), 1, size_t(line.size()), m_stream);
    std::fflush(m_stream);
    m_shown = true;
}
