#include "ServiceEngines.h"

#include "ContrastEnhanceEngine.h"
#include "TextRecognitionEngine.h"

#ifdef QUORVEL_HAVE_DOCUMENT_ENGINES
#include "DocumentEngines.h"
#endif

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
#ifdef QUORVEL_HAVE_DOCUMENT_ENGINES
    // The engines of service/engines replace the placeholders above.
    registerDocumentEngines(engines);
#endif
    return engines;
}

} // namespace quorvel::service
