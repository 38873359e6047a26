#include "ServiceKeys.h"

#include <cstdlib>

namespace quorvel::service {

ServiceKeys ServiceKeys::defaults()
{
    ServiceKeys keys;
    keys.service = { "ljxh4fzv1pou7s0ofb61qlt2odw7h5fr", "ffjnywf33f4n5pa6t3ikxgc7peynwsu8" };
    keys.account = { "yi2b8w8rvfudzi3qic0tj8y8ug6dr69p", "3bjcrzan0pxluykvcwe0qm4m55vngk29" };
    return keys;
}

ServiceKeys ServiceKeys::fromEnvironment()
{
    ServiceKeys keys = defaults();
    auto replace = [](std::string &target, const char *variable) {
        const char *value = std::getenv(variable);
        if (value && *value)
            target = value;
    };
    replace(keys.service.key, "QUORVEL_SERVICE_KEY");
    replace(keys.service.secret, "QUORVEL_SERVICE_SECRET");
    replace(keys.account.key, "QUORVEL_ACCOUNT_KEY");
    replace(keys.account.secret, "QUORVEL_ACCOUNT_SECRET");
    return keys;
}

} // namespace quorvel::service
