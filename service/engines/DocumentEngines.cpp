#include "DocumentEngines.h"

#include <atomic>
#include <memory>

#include <QFile>

#include "Engines.h"

namespace quorvel::service {

namespace {

// Failure of the engines library -> job code and the short reason the log
// and the failed reply carry.
EngineOutcome failureOutcome(const engines::EngineResult &result)
{
    using engines::EngineFailure;
    int code = kJobEngineFailed;
    switch (result.failure) {
    case EngineFailure::BadInput:
        code = kJobUnreadableInput;
        break;
    case EngineFailure::Cancelled:
        code = kJobCancelled;
        break;
    case EngineFailure::ModelMissing:
    case EngineFailure::RecognizerUnavailable:
        code = kJobEngineUnavailable;
        break;
    case EngineFailure::ModelInvalid:
    case EngineFailure::OutputFailed:
    case EngineFailure::None:
        code = kJobEngineFailed;
        break;
    }
    std::string name = engines::failureCodeName(result.failure).toStdString();
    for (char &c : name)
        c = c == '_' ? '-' : c;
    return EngineOutcome::failure(code, name + ": " + result.reason.toStdString());
}

std::string languagesFromEnvironment()
{
    return qEnvironmentVariable("QUORVEL_OCR_LANGUAGES").toStdString();
}

EngineFunction documentEngine(const std::string &product, const std::string &modelsDir)
{
    return [product, modelsDir](const EngineJob &job, const EngineProgress &progress) {
        QFile file(QFile::decodeName(job.inputPath.c_str()));
        if (!file.open(QIODevice::ReadOnly))
            return EngineOutcome::failure(
                kJobInputMissing, "input-missing: the uploaded object cannot be read");
        const QByteArray bytes = file.readAll();
        file.close();

        // The runner answers false once the job must stop; the engines poll
        // their cancel check between steps, which asks the runner again.
        auto stop = std::make_shared<std::atomic<bool>>(false);
        auto last = std::make_shared<std::atomic<int>>(0);
        engines::EngineContext context;
        context.progress = [progress, stop, last](int percent) {
            last->store(percent);
            if (!progress(percent))
                stop->store(true);
        };
        context.cancelled = [progress, stop, last] {
            if (!stop->load() && !progress(last->load()))
                stop->store(true);
            return stop->load();
        };
        context.modelsDir = QString::fromStdString(modelsDir);
        context.languages = QString::fromStdString(languagesFromEnvironment());

        const engines::EngineResult result
            = engines::runProduct(QString::fromStdString(product), bytes, context);
        if (!result.ok())
            return failureOutcome(result);
        EngineOutcome outcome;
        // An unchanged picture from stretch recovery says why; the reply has
        // no field for it yet, so it reaches the log only.
        if (!result.notice.isEmpty())
            outcome.reason = result.notice.toStdString() + ": " + result.noticeText.toStdString();
        outcome.result.assign(result.data.constData(), size_t(result.data.size()));
        outcome.resultSuffix = result.suffix.toStdString();
        outcome.preview.assign(result.preview.constData(), size_t(result.preview.size()));
        outcome.previewSuffix = result.previewSuffix.toStdString();
        return outcome;
    };
}

} // namespace

void registerDocumentEngines(EngineRegistry &engines, const std::string &modelsDir)
{
    for (const char *product :
        { "pic2word", "pic2xlsx", "table2word", "table2xls", "piccolor", "picstretchstore" })
        engines[product] = documentEngine(product, modelsDir);
}

} // namespace quorvel::service
