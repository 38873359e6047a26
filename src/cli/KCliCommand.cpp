#include "KCliCommand.h"

#include "cli/FailureReasons.h"

KCliCommand::~KCliCommand() = default;

QString KCliCommand::details() const { return QString(); }

bool KCliCommand::prepare(QString *) { return true; }

QString KCliCommand::explainFailure(const QString &input, const QString &outputDir) const
{
    QString reason = FailureReasons::fileProblem(input);
    if (reason.isEmpty())
        reason = FailureReasons::outputProblem(outputDir);
    if (reason.isEmpty())
        reason = QStringLiteral("could not be processed");
    return reason;
}
