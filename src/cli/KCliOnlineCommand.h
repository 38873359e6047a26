#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

#include "cli/KCliCommand.h"

// A command whose work is done by the online service: every input is one job,
// run one after the other through the service client (see KCliOnlineJobs).
// The subclass chooses the job type, how large an upload may be, and how a
// result is written. All of it runs on the interface thread.
class KCliOnlineCommand : public KCliCommand
{
public:
    bool takesFromFolder(const QString &path) const override;
    void start(KCliRun *run) override;

    // The service type of every job of the run.
    virtual int serviceType() const = 0;
    // The size the image is reduced (or enlarged) to before it is uploaded,
    // or an invalid size when it goes as it is.
    virtual QSize uploadSize(const QSize &imageSize, qint64 fileBytes) const = 0;
    // Writes the result of input into outputDir. Returns the written file, or
    // empty with the reason in *error.
    virtual QString writeResult(
        const QString &input, const QByteArray &data, const QString &outputDir, QString *error)
        = 0;
    // Called once before the first job, with the run's inputs in order.
    virtual void beginRun(const QStringList &inputs);

    // Longest wait for one file's job before it is given up.
    static int jobTimeoutMs();

protected:
    // size scaled by factor, each side truncated (at least 1 pixel).
    static QSize scaled(const QSize &size, double factor);
    // The upload rule of the recognition views: files over limitBytes are
    // scaled to about targetPixels pixels, smaller images too.
    static QSize pixelTarget(
        const QSize &size, qint64 bytes, qint64 limitBytes, qint64 targetPixels);
    // Reserves a new file name in dir and writes bytes through a temporary
    // name; empty with *error on failure (nothing is left behind).
    static QString writeNewFile(const QString &dir, const QString &name, const QString &ext,
        const QByteArray &bytes, QString *error);
};
