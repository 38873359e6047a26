#pragma once

#include "ServiceEngine.h"

// "picenhance": local contrast enhancement (CLAHE on lightness) with a mild
// unsharp mask. The result keeps the picture's size, its alpha channel and the
// format family of the upload (JPEG stays JPEG, PNG stays PNG; formats the
// service cannot write come back as PNG). Runs on a worker thread.
namespace quorvel::service {

EngineOutcome enhanceContrast(const EngineJob &job, const EngineProgress &progress);

} // namespace quorvel::service
