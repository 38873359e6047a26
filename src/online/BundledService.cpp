#include "BundledService.h"

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace {

// Runs in the forked child before exec: the child gets SIGTERM when the thread
// that started it (the interface thread) ends, so even a killed program leaves
// no service behind. The service also watches the pid given by --parent-pid.
class ChildProcess : public QProcess
{
public:
    using QProcess::QProcess;
    pid_t parentPid = 0;

protected:
    void setupChildProcess() override
    {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parentPid)
            ::_exit(1);
    }
};

} // namespace

BundledService::BundledService(QObject *parent)
    : QObject(parent)
{
}

BundledService::~BundledService() { stop(); }

qint64 BundledService::processId() const { return m_process ? m_process->processId() : 0; }

void BundledService::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(1000);
        }
    }
    delete m_process;
    m_process = nullptr;
    m_baseUrl.clear();
}

QString BundledService::ensureRunning(const QString &program, const QString &dataDir, int timeoutMs)
{
    if (m_process && m_process->state() == QProcess::Running && !m_baseUrl.isEmpty())
        return m_baseUrl;
    stop();
    m_error.clear();

    if (!QFileInfo(program).isExecutable()) {
        m_error = QStringLiteral("%1 is missing or not executable").arg(program);
        return QString();
    }
    if (!QDir().mkpath(dataDir)) {
        m_error = QStringLiteral("cannot create the data folder %1").arg(dataDir);
        return QString();
    }

    auto *process = new ChildProcess(this);
    process->parentPid = ::getpid();
    m_process = process;
    m_process->setProgram(program);
    m_process->setArguments({ QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
        QStringLiteral("--data"), dataDir, QStringLiteral("--parent-pid"),
        QString::number(QCoreApplication::applicationPid()) });
    m_process->start(QIODevice::ReadOnly);

    const QDeadlineTimer deadline(timeoutMs);
    QByteArray out;
    while (!out.contains('\n')) {
        if (m_process->bytesAvailable() == 0) {
            if (m_process->state() == QProcess::NotRunning || deadline.hasExpired())
                break;
            m_process->waitForReadyRead(int(deadline.remainingTime()));
        }
        out += m_process->readAllStandardOutput();
    }

    const QByteArray firstLine = out.left(out.indexOf('\n')).trimmed();
    const QByteArray prefix("listening on ");
    if (!out.contains('\n') || !firstLine.startsWith(prefix)) {
        const QString err = QString::fromLocal8Bit(m_process->readAllStandardError()).trimmed();
        if (m_process->state() == QProcess::NotRunning) {
            m_error = m_process->error() == QProcess::FailedToStart
                ? QStringLiteral("%1 could not be started: %2")
                      .arg(program, m_process->errorString())
                : QStringLiteral("%1 exited with code %2").arg(program).arg(m_process->exitCode());
        } else if (!out.contains('\n')) {
            m_error = QStringLiteral("%1 did not report its address within %2 ms")
                          .arg(program)
                          .arg(timeoutMs);
        } else {
            m_error = QStringLiteral("%1 printed an unexpected first line: %2")
                          .arg(program, QString::fromLocal8Bit(firstLine));
        }
        if (!err.isEmpty())
            m_error += QStringLiteral(" (") + err.right(500) + QLatin1Char(')');
        stop();
        return QString();
    }

    m_baseUrl = QString::fromLatin1(firstLine.mid(prefix.size()));
    // From here on the child's request log is not ours to keep; drain it so its
    // pipes never fill up.
    connect(m_process, &QProcess::readyReadStandardOutput, m_process,
        [this] { m_process->readAllStandardOutput(); });
    connect(m_process, &QProcess::readyReadStandardError, m_process,
        [this] { m_process->readAllStandardError(); });
    return m_baseUrl;
}
