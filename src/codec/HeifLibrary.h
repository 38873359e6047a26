#pragma once

#include <QString>

// libheif, opened on first use (LazyLibrary). The HEIF decoder calls load()
// before it reads a file; the functions of heif.h the codec layer calls are
// defined in HeifLibrary.cpp and open the library themselves.
namespace HeifLibrary {

// False, with the reason in *why, when libheif cannot be opened.
bool load(QString *why = nullptr);

} // namespace HeifLibrary
