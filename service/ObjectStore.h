#pragma once

#include <cstdint>
#include <string>

// Object storage on disk under <data>/objects. Keys come from clients, so a
// key is only ever turned into a path after it matched one of the two shapes
// the service hands out or accepts:
//   upload keys  <ocr|ai>/<32 hex md5>{<uuid>}<seconds>/<first 6 hex of uuid>.<suffix>
//   result keys  <ocr|ai>/results/<32 hex job id>/<result|preview>.<suffix>
// Objects are written under a temporary name and linked to their final name,
// which never replaces an existing object. Presigned URLs carry an expiry and
// an HMAC-SHA256 under a per-installation secret kept in <data>/url-secret.
// Thread-safe: every operation works on the file system only.
namespace quorvel::service {

class ObjectStore
{
public:
    enum class UrlCheck { Ok, Expired, BadSignature };

    // Creates <dataDir>/objects, <dataDir>/tmp and the URL secret when missing.
    bool open(const std::string &dataDir, std::string &error);

    static bool isUploadKey(const std::string &key);
    static bool isResultKey(const std::string &key);
    static bool isValidKey(const std::string &key) { return isUploadKey(key) || isResultKey(key); }
    static std::string categoryOfKey(const std::string &key); // text before the first "/"
    static std::string suffixOfKey(const std::string &key); // text after the last "."

    // Path of a valid key (empty for any other text).
    std::string pathFor(const std::string &key) const;
    bool exists(const std::string &key) const;
    std::int64_t sizeOf(const std::string &key) const; // -1 when missing

    // Path and query of a presigned URL: "/object/<op>?key=...&expires=...&signature=...".
    // `op` is "upload" or "download".
    std::string presignedTarget(
        const std::string &op, const std::string &key, std::int64_t expires) const;
    UrlCheck checkPresigned(const std::string &op, const std::string &key,
        const std::string &expires, const std::string &signature, std::int64_t nowSeconds) const;

    // A fresh temporary file path under <data>/tmp.
    std::string newTempPath() const;
    // Moves a finished temporary file to its key; fails (and removes the
    // temporary file) when the key exists already.
    bool commitTemp(const std::string &tempPath, const std::string &key, std::string &error);
    // Writes bytes to a temporary file, syncs it and commits it.
    bool put(const std::string &key, const std::string &bytes, std::string &error);
    bool read(const std::string &key, std::string &bytes) const;

    // Removes objects older than maxAgeSeconds and stale temporary files;
    // returns the number of objects removed.
    int sweep(std::int64_t maxAgeSeconds, std::int64_t nowSeconds);

    const std::string &root() const { return m_objects; }

private:
    std::string signUrl(
        const std::string &op, const std::string &key, const std::string &expires) const;

    std::string m_objects;
    std::string m_temp;
    std::string m_urlSecret;
};

} // namespace quorvel::service
