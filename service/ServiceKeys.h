#pragma once

#include <string>

#include "ServiceProducts.h"

// The two key pairs the service accepts. The compiled-in defaults are the ones
// the desktop client carries; a deployment replaces them through the
// environment (QUORVEL_SERVICE_KEY, QUORVEL_SERVICE_SECRET, QUORVEL_ACCOUNT_KEY,
// QUORVEL_ACCOUNT_SECRET), which the client reads too.
namespace quorvel::service {

struct KeyPair
{
    std::string key;
    std::string secret;
};

struct ServiceKeys
{
    KeyPair service; // products of types 0 to 7
    KeyPair account; // "login", type 9

    const KeyPair &pairFor(KeyPairKind kind) const
    {
        return kind == KeyPairKind::Account ? account : service;
    }

    static ServiceKeys defaults();
    // Defaults replaced by the environment variables that are set and non-empty.
    static ServiceKeys fromEnvironment();
};

} // namespace quorvel::service
