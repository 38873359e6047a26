#pragma once

#include <QString>

// FreeImage in the program's own process, opened on first use (LazyLibrary):
// the RAW development view and rotation by other angles than right ones call
// load() before they start. Decoding with FreeImage happens in the decode
// helper, which links the library as usual.
namespace FreeImageLibrary {

// False, with the reason in *why, when FreeImage cannot be opened.
bool load(QString *why = nullptr);

} // namespace FreeImageLibrary
