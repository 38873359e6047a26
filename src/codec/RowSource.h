#pragma once

#include <functional>

#include <QtGlobal>

// How the row-by-row writers take a picture that is never whole in memory:
// fills count rows (width * 4 bytes of BGRX each, RGB32's bytes) from row
// first on; false when they cannot be had.
using RowSource = std::function<bool(uchar *const *rows, int first, int count)>;
