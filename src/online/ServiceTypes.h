#pragma once

#include <QString>

// The fixed table of service types. A client is created for one type number,
// which selects product, client type, key pair, job endpoints and category.
namespace ServiceTypes {

enum Family { NoFamily, OcrFamily, AiFamily };

struct KeyPair
{
    QString key;
    QString secret;
};

struct Row
{
    bool valid = false;
    QString product;
    QString clientType;
    KeyPair keys;
    Family family = NoFamily;
    QString category; // "ocr", "ai" or empty
};

// The row of a type number; valid is false outside the table (0 to 7, 9).
Row row(int type);

// The compiled-in pairs shared with the service, replaced by QUORVEL_SERVICE_KEY /
// QUORVEL_SERVICE_SECRET and QUORVEL_ACCOUNT_KEY / QUORVEL_ACCOUNT_SECRET when set.
KeyPair servicePair();
KeyPair accountPair();

// Types 1 to 4 send the user identifier with the create-job request.
inline bool sendsUserId(int type) { return type >= 1 && type <= 4; }
// Types 3 and 4 may come with a preview image of the recognised table.
inline bool hasPreview(int type) { return type == 3 || type == 4; }

} // namespace ServiceTypes
