#pragma once

#include <string>

// The products the service knows, with the key pair that may sign for them and
// the job family whose endpoints run them.
namespace quorvel::service {

enum class KeyPairKind { Service, Account };
enum class JobFamily { None, Ocr, Ai };

struct ServiceProduct
{
    int type;
    const char *name;
    KeyPairKind pair;
    JobFamily family;
    const char *clientType;
};

// nullptr for an unknown product name.
const ServiceProduct *productByName(const std::string &name);

// "ocr", "ai" or "" (the first segment of object keys, the "method" of download requests).
const char *categoryOf(JobFamily family);

} // namespace quorvel::service
