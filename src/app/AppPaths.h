#pragma once

#include <QString>

// Where the program's own files live. Both are computed from the running
// executable's location (never the working directory) and are safe to call
// from any thread.

// Absolute path of the folder holding the running executable; empty when the
// system cannot tell (the next call asks again).
QString appDir();

// appDir() + separator + "res": the resource bundle and the translation.
QString resDir();

// One of the program's own files (a helper program or library) by name: the
// one beside the running executable, else the one a folder up, where the
// tests and benchmarks (built one folder below the program) find it. Empty
// when there is neither.
QString ownFilePath(const QString &name);
