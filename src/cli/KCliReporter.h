#pragma once

#include <cstdio>

#include <QString>

#include "cli/CliRowResult.h"
#include "cli/KCliProgressLine.h"

// Everything a run prints. Results go to standard output (one line per input,
// or one JSON object per line with --json), errors and the summary to
// standard error, and the progress line (KCliProgressLine) to standard error
// only when it is a terminal. Interface thread only.
class KCliReporter
{
public:
    // results: where results go (the program's standard output, which the
    // engines' own diagnostics no longer reach). summary: whether the closing
    // "N of M done" line is printed (not with --quiet).
    KCliReporter(FILE *results, bool json, bool progressLine, bool summary = true);
    ~KCliReporter();

    void setTotal(int total);
    void rowFinished(const CliRowResult &result);
    // A line of its own on standard error (the bar is redrawn below it).
    void error(const QString &text);
    void summary(int succeeded, int failed, const QString &outputDir, bool interrupted);

    // The JSON object printed for a result (compact, UTF-8, no line end).
    static QByteArray jsonLine(const CliRowResult &result);

private:
    FILE *const m_results;
    const bool m_json;
    const bool m_summary;
    KCliProgressLine m_progress;
};
