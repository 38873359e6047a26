#pragma once

#include <QObject>
#include <QString>

class QProcess;

// The quorvel-service child process the program starts for itself when no
// service address is configured. Lives on the interface thread, parented to
// the application object; the child is stopped when this object goes, and the
// kernel stops it too if the program is killed (parent-death signal).
class BundledService : public QObject
{
    Q_OBJECT
public:
    explicit BundledService(QObject *parent = nullptr);
    ~BundledService() override;

    // Starts the program (if it is not running) and waits at most timeoutMs for
    // its "listening on http://HOST:PORT" line. Returns the base URL or empty;
    // errorString() then says why.
    QString ensureRunning(const QString &program, const QString &dataDir, int timeoutMs);

    QString errorString() const { return m_error; }
    qint64 processId() const;
    void stop();

private:
    QProcess *m_process = nullptr;
    QString m_baseUrl;
    QString m_error;
};
