#pragma once

#include "ServiceEngine.h"

// The engines this build of the service runs, one per product. Products
// without an engine here end their jobs "failed" with kJobEngineUnavailable.
namespace quorvel::service {

EngineRegistry builtinEngines();

} // namespace quorvel::service
