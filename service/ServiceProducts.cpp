#include "ServiceProducts.h"

#include <iterator>

namespace quorvel::service {

namespace {
const ServiceProduct kProducts[] = {
    { 0, "pic2txt", KeyPairKind::Service, JobFamily::Ocr, "pc-lumistrand" },
    { 1, "pic2word", KeyPairKind::Service, JobFamily::Ocr, "pc-lumistrand" },
    { 2, "pic2xlsx", KeyPairKind::Service, JobFamily::Ocr, "pc-lumistrand" },
    { 3, "table2word", KeyPairKind::Service, JobFamily::Ocr, "pc-lumistrand" },
    { 4, "table2xls", KeyPairKind::Service, JobFamily::Ocr, "pc-lumistrand" },
    { 5, "picenhance", KeyPairKind::Service, JobFamily::Ai, "pc-lumistrand" },
    { 6, "piccolor", KeyPairKind::Service, JobFamily::Ai, "pc-lumistrand" },
    { 7, "picstretchstore", KeyPairKind::Service, JobFamily::Ai, "pc-lumistrand" },
    { 9, "login", KeyPairKind::Account, JobFamily::None, "pc-smslogin" },
};
} // namespace

const ServiceProduct *productByName(const std::string &name)
{
    for (const ServiceProduct &product : kProducts) {
        if (name == product.name)
            return &product;
    }
    return nullptr;
}

const char *categoryOf(JobFamily family)
{
    switch (family) {
    case JobFamily::Ocr:
        return "ocr";
    case JobFamily::Ai:
        return "ai";
    case JobFamily::None:
        break;
    }
    return "";
}

} // namespace quorvel::service
