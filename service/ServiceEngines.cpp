#include "ServiceEngines.h"

#include "ContrastEnhanceEngine.h"
#include "DocumentEngines.h"
#include "TextRecognitionEngine.h"

namespace quorvel::service {

EngineRegistry builtinEngines(const std::string &modelsDir)
{
    EngineRegistry engines;
    engines["pic2txt"] = &recogniseText;
    engines["picenhance"] = &enhanceContrast;
    // Word, Excel, table, colouring and stretch recovery: service/engines.
    registerDocumentEngines(engines, modelsDir);
    return engines;
}

} // namespace quorvel::service
