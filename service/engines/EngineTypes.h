#pragma once

#include <functional>

#include <QByteArray>
#include <QString>

// Shared records of the document and AI engines. An engine call runs on the
// job's worker thread from start to end; it owns nothing beyond the call and
// reports only through the context's callbacks and its returned result.
namespace engines {

// Why an engine call produced no result. The numbers are what a failed job
// carries as its "code"; 201 is left out on purpose because the client gives
// it a meaning of its own.
enum class EngineFailure {
    None = 0,
    BadInput = 310, // not a decodable picture, or one too large to handle
    Cancelled = 311, // the cancel check answered true between two steps
    ModelMissing = 312, // colouring needs model files that are not installed
    ModelInvalid = 313, // the model files are there but cannot be used
    RecognizerUnavailable = 314, // Tesseract or its language data cannot start
    OutputFailed = 315, // the document or image could not be written
};

// Stable lower-case name of a failure ("model_missing"), for logs and replies.
QString failureCodeName(EngineFailure failure);

// What a caller hands to every engine. Both callbacks may be empty and are
// called on the engine's own thread.
struct EngineContext
{
    std::function<void(int)> progress; // 0..100, never decreasing
    std::function<bool()> cancelled; // polled between steps
    QString modelsDir; // folder with the colouring model files
    QString languages; // Tesseract languages ("eng+chi_sim"); empty: what is installed

    void report(int percent) const;
    bool isCancelled() const;
};

struct EngineResult
{
    EngineFailure failure = EngineFailure::None;
    QString reason; // plain sentence for the log when failed
    QByteArray data; // the result object: docx, xlsx or image bytes
    QString suffix; // file suffix of data without the dot: "docx", "xlsx", "jpg", "png"
    QByteArray preview; // preview image for table results, else empty
    QString previewSuffix; // "png" or "jpg"
    // Set when the result is the unchanged input on purpose (stretch recovery
    // found nothing to undo): a stable code such as "stretch_not_estimated".
    QString notice;
    QString noticeText;

    bool ok() const { return failure == EngineFailure::None; }
    static EngineResult failed(EngineFailure failure, const QString &reason);
};

// Models folder from "--models DIR" (or "--models=DIR") in arguments, else the
// QUORVEL_MODELS environment variable, else empty.
QString modelsDirFromArguments(const QStringList &arguments);

} // namespace engines
