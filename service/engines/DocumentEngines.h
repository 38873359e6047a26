#pragma once

#include <string>

#include "ServiceEngine.h"

// The document, table, colouring and stretch products of this library behind
// the service's engine interface (ServiceEngine.h: plain types, no link to the
// service library). The job runner calls them on its worker threads.
namespace quorvel::service {

// Puts pic2word, pic2xlsx, table2word, table2xls, piccolor and picstretchstore
// into engines, replacing what was there. modelsDir is the colouring model
// folder ("--models" or $QUORVEL_MODELS); without the model files a colouring
// job fails with kJobEngineUnavailable and a "model-missing" reason.
// Tesseract languages come from $QUORVEL_OCR_LANGUAGES, as for pic2txt.
void registerDocumentEngines(EngineRegistry &engines, const std::string &modelsDir = std::string());

} // namespace quorvel::service
