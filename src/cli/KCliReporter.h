#pragma once

#include <cstdio>

#include <QString>

#include "cli/CliRowResult.h"

// Everything a run prints. Results go to standard output (one line per input,
// or one JSON object per line with --json), errors and the summary to
// standard error, and a progress bar to standard error only when it is a
// terminal. Interface thread only.
class KCliReporter
{
public:
    // results: where results go (the program's standard output, which the
    // engines' own diagnostics no longer reach).
    KCliReporter(FILE *results, bool json, bool progressBar);
    ~KCliReporter();

    void setTotal(int total);
    void rowFinished(const CliRowResult &result);
    // A line of its own on standard error (the bar is redrawn below it).
    void error(const QString &text);
    void summary(int succeeded, int failed, const QString &outputDir, bool interrupted);

    // The JSON object printed for a result (compact, UTF-8, no line end).
    static QByteArray jsonLine(const CliRowResult &result);

private:
    void clearBar();
    void drawBar();

    FILE *const m_results;
    const bool m_json;
    const bool m_progressBar;
    bool m_barShown = false;
    int m_total = 0;
    int m_done = 0;
};
