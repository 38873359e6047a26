// The job routes of ServiceServer: create, query and cancel.

#include <httplib.h>

#include <QCryptographicHash>
#include <QFile>
#include <QJsonObject>
#include <QString>
#include <QUuid>

#include "HttpReplies.h"
#include "JobRunner.h"
#include "RequestSignature.h"
#include "ServiceServer.h"

namespace quorvel::service {

namespace {

std::string newJobId() { return QUuid::createUuid().toRfc4122().toHex().toStdString(); }
std::string md5OfFile(const std::string &path)
{
    QFile file(QString::fromStdString(path));
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result().toHex().toStdString();
}
JobFamily familyFromPath(const std::string &segment)
{
    return segment == "ocr" ? JobFamily::Ocr : segment == "ai" ? JobFamily::Ai : JobFamily::None;
}
} // namespace

void ServiceServer::installJobRoutes()
{
    httplib::Server &http = *m_http;

    http.Post(
        R"(/api/v1/(ocr|ai)/images)", [this](const httplib::Request &req, httplib::Response &res) {
            SignatureCheck check;
            QJsonObject body;
            std::string key, type, md5;
            if (!authorise(req, res, KeyPairKind::Service, check) || !readJsonBody(req, res, body)
                || !requireString(body, "key", res, key) || !requireString(body, "type", res, type)
                || !requireString(body, "md5", res, md5))
                return;
            const JobFamily family = familyFromPath(req.matches[1]);
            if (check.product->family != family || type != check.product->name) {
                sendError(res, 400, "\"type\" must be the signed product of this job family");
                return;
            }
            const QJsonValue sizeValue = body.value(QStringLiteral("size"));
            if (!sizeValue.isDouble() || sizeValue.toDouble() < 0) {
                sendError(res, 400, "\"size\" must be a number of bytes");
                return;
            }
            if (!ObjectStore::isUploadKey(key)
                || ObjectStore::categoryOfKey(key) != categoryOf(family)) {
                sendError(res, 400, "invalid object key");
                return;
            }
            const std::int64_t size = m_store.sizeOf(key);
            if (size < 0) {
                sendError(res, 404, "the object has not been uploaded");
                return;
            }
            if (double(size) != sizeValue.toDouble()) {
                sendError(res, 400, "\"size\" does not match the uploaded object");
                return;
            }
            if (md5 != md5OfFile(m_store.pathFor(key))) {
                sendError(res, 400, "\"md5\" does not match the uploaded object");
                return;
            }
            JobRecord job;
            job.id = newJobId();
            job.product = check.product->name;
            job.family = categoryOf(family);
            job.inputKey = key;
            job.userId = body.value(QStringLiteral("userId")).toString().left(128).toStdString();
            if (!m_database.insertJob(job)) {
                sendError(res, 500, "cannot record the job");
                return;
            }
            m_runner->wake();
            log("job " + job.id + " " + job.product + " accepted for " + key);
            QJsonObject data;
            data.insert(QStringLiteral("jobid"), QString::fromStdString(job.id));
            QJsonObject reply;
            reply.insert(QStringLiteral("code"), 0);
            reply.insert(QStringLiteral("data"), data);
            sendJson(res, 200, reply);
        });

    http.Post(
        R"(/api/v1/(ocr|ai)/query)", [this](const httplib::Request &req, httplib::Response &res) {
            SignatureCheck check;
            QJsonObject body;
            std::string jobId;
            if (!authorise(req, res, KeyPairKind::Service, check) || !readJsonBody(req, res, body)
                || !requireString(body, "jobid", res, jobId))
                return;
            const std::string family = categoryOf(familyFromPath(req.matches[1]));
            const auto job = isHexId(jobId) ? m_database.job(jobId) : std::nullopt;
            if (!job || job->family != family) {
                sendError(res, 404, "no such job");
                return;
            }
            QJsonObject reply;
            reply.insert(QStringLiteral("jobid"), QString::fromStdString(job->id));
            switch (job->state) {
            case JobState::Queued:
            case JobState::Running:
                reply.insert(QStringLiteral("status"), QStringLiteral("processing"));
                reply.insert(QStringLiteral("code"), 0);
                reply.insert(QStringLiteral("progress"), job->progress);
                break;
            case JobState::Success:
                // A result that has since left the store is no success any more.
                if (!m_store.exists(job->resultKey)
                    || (!job->previewKey.empty() && !m_store.exists(job->previewKey))) {
                    reply.insert(QStringLiteral("status"), QStringLiteral("failed"));
                    reply.insert(QStringLiteral("code"), kJobResultMissing);
                    reply.insert(QStringLiteral("reason"),
                        QStringLiteral("result-expired: the result is no longer stored"));
                    break;
                }
                {
                    QJsonObject result;
                    result.insert(QStringLiteral("key"), QString::fromStdString(job->resultKey));
                    result.insert(
                        QStringLiteral("previewImage"), QString::fromStdString(job->previewKey));
                    reply.insert(QStringLiteral("status"), QStringLiteral("success"));
                    reply.insert(QStringLiteral("code"), 0);
                    reply.insert(QStringLiteral("progress"), 100);
                    reply.insert(QStringLiteral("result"), result);
                }
                break;
            case JobState::Failed:
                reply.insert(QStringLiteral("status"), QStringLiteral("failed"));
                reply.insert(QStringLiteral("code"), job->code);
                reply.insert(QStringLiteral("reason"), QString::fromStdString(job->reason));
                break;
            }
            sendJson(res, 200, reply);
        });

    http.Delete(
        R"(/api/v1/cancel/([^/]*))", [this](const httplib::Request &req, httplib::Response &res) {
            SignatureCheck check;
            if (!authorise(req, res, KeyPairKind::Service, check))
                return;
            const std::string jobId = req.matches[1];
            const auto job = isHexId(jobId) ? m_database.job(jobId) : std::nullopt;
            if (!job) {
                sendError(res, 404, "no such job");
                return;
            }
            if (!m_runner->cancel(jobId)) {
                sendError(res, 409, "the job has ended already");
                return;
            }
            log("job " + jobId + " cancel requested");
            QJsonObject reply;
            reply.insert(QStringLiteral("code"), 0);
            reply.insert(QStringLiteral("status"), QStringLiteral("failed"));
            sendJson(res, 200, reply);
        });
}

} // namespace quorvel::service
