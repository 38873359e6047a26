#include "ServiceEngines.h"

#include "ContrastEnhanceEngine.h"
#include "TextRecognitionEngine.h"

namespace quorvel::service {

namespace {

EngineFunction notYetAvailable(const std::string &product)
{
    return [product](const EngineJob &, const EngineProgress &) {
        return EngineOutcome::failure(kJobEngineUnavailable,
            "engine-unavailable: this service has no " + product + " engine yet");
    };
}

} // namespace

EngineRegistry builtinEngines()
{
    EngineRegistry engines;
    engines["pic2txt"] = &recogniseText;
    engines["picenhance"] = &enhanceContrast;
    // Document, table, colouring and stretch engines are not part of this build yet.
    for (const char *product :
        { "pic2word", "pic2xlsx", "table2word", "table2xls", "piccolor", "picstretchstore" })
        engines[product] = notYetAvailable(product);
    return engines;
}

} // namespace quorvel::service
