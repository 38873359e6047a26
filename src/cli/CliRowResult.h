#pragma once

#include <QString>

// The final outcome of one input of a command-line run, as printed.
struct CliRowResult
{
    QString input; // the file (or the folder or argument that gave nothing)
    bool ok = false;
    QString output; // the written file (for PDF pages: the first image)
    qint64 bytes = 0; // size of output
    QString error; // why it failed, in plain words
};
