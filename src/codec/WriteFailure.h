#pragma once

#include <QString>

// Plain-language reasons for failed writes, for the writers that talk to the
// file system themselves. Safe from any thread.
namespace WriteFailure {

// The reason behind an errno value, worded for users ("no space left on the
// device"); the system's own text for values without a wording of ours.
QString describeErrno(int error);

// Stores text in *error when error is not null. Convenience for writers that
// take an optional reason out-parameter.
void report(QString *error, const QString &text);

} // namespace WriteFailure
