#pragma once

#include <string>

#include "ServiceEngine.h"

// The engines this build of the service runs, one per product. Products
// without an engine here end their jobs "failed" with kJobEngineUnavailable.
namespace quorvel::service {

// modelsDir: the colouring model folder ("--models"); empty means none.
EngineRegistry builtinEngines(const std::string &modelsDir = std::string());

} // namespace quorvel::service
