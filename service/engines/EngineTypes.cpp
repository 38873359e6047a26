#include "EngineTypes.h"

#include <QProcessEnvironment>
#include <QStringList>

namespace engines {

QString failureCodeName(EngineFailure failure)
{
    switch (failure) {
    case EngineFailure::None:
        return QStringLiteral("none");
    case EngineFailure::BadInput:
        return QStringLiteral("bad_input");
    case EngineFailure::Cancelled:
        return QStringLiteral("cancelled");
    case EngineFailure::ModelMissing:
        return QStringLiteral("model_missing");
    case EngineFailure::ModelInvalid:
        return QStringLiteral("model_invalid");
    case EngineFailure::RecognizerUnavailable:
        return QStringLiteral("recognizer_unavailable");
    case EngineFailure::OutputFailed:
        return QStringLiteral("output_failed");
    }
    return QStringLiteral("unknown");
}

void EngineContext::report(int percent) const
{
    if (progress)
        progress(qBound(0, percent, 100));
}

bool EngineContext::isCancelled() const { return cancelled && cancelled(); }

EngineResult EngineResult::failed(EngineFailure failure, const QString &reason)
{
    EngineResult result;
    result.failure = failure;
    result.reason = reason;
    return result;
}

QString modelsDirFromArguments(const QStringList &arguments)
{
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == QLatin1String("--models") && i + 1 < arguments.size())
            return arguments.at(i + 1);
        if (arg.startsWith(QLatin1String("--models=")))
            return arg.mid(9);
    }
    return QProcessEnvironment::systemEnvironment().value(QStringLiteral("QUORVEL_MODELS"));
}

} // namespace engines
