#pragma once

#include <functional>
#include <map>
#include <string>

// What a job engine sees and returns. An engine is a plain function that runs
// on one of the service's worker threads: it reads the uploaded object from
// disk, reports its percentage through `progress` and returns the result bytes
// (and, for table products, a preview picture). Engines never touch the
// database or the object store; the job runner stores what they return and
// only then marks the job a success.
namespace quorvel::service {

// Failure codes a job can end with ("code" of a failed query reply). The client
// treats 201 specially, so no engine failure ever uses it.
enum JobFailureCode : int {
    kJobOk = 0,
    kJobResultMissing = 410, // the result object expired or vanished from storage
    kJobInputMissing = 404, // the uploaded object is gone
    kJobUnreadableInput = 422, // not a picture, corrupt or truncated
    kJobCancelled = 499, // cancelled by the client (or the picture was empty of work)
    kJobEngineFailed = 500, // the engine ran and failed
    kJobEngineUnavailable = 501, // no engine for this product in this build
    kJobStorageFailed = 507, // the result could not be stored
};

struct EngineJob
{
    std::string product; // "pic2txt", "picenhance", ...
    std::string inputPath; // the uploaded object on disk (read only)
    std::string inputSuffix; // suffix of the uploaded key, as the client sent it ("png", "JPG")
    std::string userId; // "userId" of the create request, empty when absent
};

struct EngineOutcome
{
    int code = kJobOk; // kJobOk or one of JobFailureCode
    std::string reason; // short machine-friendly reason, e.g. "unreadable-image: ..."
    std::string result; // result bytes (text, document, picture)
    std::string resultSuffix; // "txt", "docx", "xlsx", "png", "jpg", ...
    std::string preview; // optional preview picture bytes (table products)
    std::string previewSuffix; // suffix of the preview, e.g. "png"

    bool ok() const { return code == kJobOk; }
    static EngineOutcome failure(int failureCode, std::string why)
    {
        EngineOutcome outcome;
        outcome.code = failureCode;
        outcome.reason = std::move(why);
        return outcome;
    }
};

// Called by the engine with 0..100 between its steps; returns false when the job
// must stop (cancelled or the service is shutting down). The engine then returns
// EngineOutcome::failure(kJobCancelled, "cancelled") as soon as it can.
using EngineProgress = std::function<bool(int percent)>;

using EngineFunction
    = std::function<EngineOutcome(const EngineJob &job, const EngineProgress &progress)>;

// Product name -> engine. Filled once at start-up, read-only afterwards.
using EngineRegistry = std::map<std::string, EngineFunction>;

} // namespace quorvel::service
