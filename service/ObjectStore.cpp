#include "ObjectStore.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QMessageAuthenticationCode>
#include <QUrl>
#include <QUuid>

#include "RequestSignature.h"

namespace fs = std::filesystem;

namespace quorvel::service {

namespace {

const std::regex &uploadKeyPattern()
{
    static const std::regex pattern(
        "(ocr|ai)/[0-9a-f]{32}\\{([0-9a-f]{8})-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\}"
        "[0-9]{1,12}/([0-9a-f]{6})\\.[A-Za-z0-9]{0,10}");
    return pattern;
}

const std::regex &resultKeyPattern()
{
    static const std::regex pattern(
        "(ocr|ai)/results/[0-9a-f]{32}/(result|preview)\\.[a-z0-9]{1,8}");
    return pattern;
}

bool writeAll(int fd, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= std::size_t(written);
    }
    return true;
}

std::string randomHex(int bytes)
{
    std::string text;
    while (int(text.size()) < bytes * 2)
        text += QUuid::createUuid().toRfc4122().toHex().toStdString();
    return text.substr(0, std::size_t(bytes) * 2);
}

} // namespace

bool ObjectStore::open(const std::string &dataDir, std::string &error)
{
    std::error_code ec;
    m_objects = dataDir + "/objects";
    m_temp = dataDir + "/tmp";
    fs::create_directories(m_objects, ec);
    if (!ec)
        fs::create_directories(m_temp, ec);
    if (ec) {
        error = "cannot create the object folders under " + dataDir + ": " + ec.message();
        return false;
    }
    const std::string secretPath = dataDir + "/url-secret";
    std::ifstream in(secretPath);
    std::getline(in, m_urlSecret);
    if (m_urlSecret.size() >= 32)
        return true;
    // First start: a fresh secret, readable by the owner only, written atomically.
    m_urlSecret = randomHex(32);
    const std::string temp = secretPath + ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || !writeAll(fd, m_urlSecret.data(), m_urlSecret.size()) || ::fsync(fd) != 0
        || ::close(fd) != 0 || ::rename(temp.c_str(), secretPath.c_str()) != 0) {
        error = "cannot write " + secretPath + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool ObjectStore::isUploadKey(const std::string &key)
{
    std::smatch match;
    if (key.size() > 200 || !std::regex_match(key, match, uploadKeyPattern()))
        return false;
    // The folder's uuid and the file name's six digits come from one uuid.
    return match[2].str().compare(0, 6, match[3].str()) == 0;
}

bool ObjectStore::isResultKey(const std::string &key)
{
    return key.size() <= 200 && std::regex_match(key, resultKeyPattern());
}

std::string ObjectStore::categoryOfKey(const std::string &key)
{
    return key.substr(0, key.find('/'));
}

std::string ObjectStore::suffixOfKey(const std::string &key)
{
    const auto dot = key.rfind('.');
    return dot == std::string::npos ? std::string() : key.substr(dot + 1);
}

std::string ObjectStore::pathFor(const std::string &key) const
{
    if (!isValidKey(key))
        return {};
    return m_objects + '/' + key;
}

bool ObjectStore::exists(const std::string &key) const { return sizeOf(key) >= 0; }

std::int64_t ObjectStore::sizeOf(const std::string &key) const
{
    const std::string path = pathFor(key);
    struct stat info
    {
    };
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return info.st_size;
}

std::string ObjectStore::signUrl(
    const std::string &op, const std::string &key, const std::string &expires) const
{
    const std::string text = op + '\n' + key + '\n' + expires;
    return QMessageAuthenticationCode::hash(QByteArray::fromStdString(text),
        QByteArray::fromStdString(m_urlSecret), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

std::string ObjectStore::presignedTarget(
    const std::string &op, const std::string &key, std::int64_t expires) const
{
    const std::string expiresText = std::to_string(expires);
    const QByteArray encodedKey = QUrl::toPercentEncoding(QString::fromStdString(key));
    return "/object/" + op + "?key=" + encodedKey.toStdString() + "&expires=" + expiresText
        + "&signature=" + signUrl(op, key, expiresText);
}

ObjectStore::UrlCheck ObjectStore::checkPresigned(const std::string &op, const std::string &key,
    const std::string &expires, const std::string &signature, std::int64_t nowSeconds) const
{
    if (expires.empty() || expires.size() > 12
        || expires.find_first_not_of("0123456789") != std::string::npos)
        return UrlCheck::BadSignature;
    if (!constantTimeEquals(signature, signUrl(op, key, expires)))
        return UrlCheck::BadSignature;
    if (std::stoll(expires) < nowSeconds)
        return UrlCheck::Expired;
    return UrlCheck::Ok;
}

std::string ObjectStore::newTempPath() const
{
    static std::atomic<unsigned> counter { 0 };
    return m_temp + "/upload-" + std::to_string(::getpid()) + '-' + std::to_string(++counter) + '-'
        + randomHex(6) + ".part";
}

bool ObjectStore::commitTemp(
    const std::string &tempPath, const std::string &key, std::string &error)
{
    const std::string path = pathFor(key);
    if (path.empty()) {
        ::unlink(tempPath.c_str());
        error = "invalid object key";
        return false;
    }
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    // link() refuses an existing name, so a finished object is never replaced and
    // a reader never sees a half-written one.
    if (ec || ::link(tempPath.c_str(), path.c_str()) != 0) {
        error = ec ? ec.message()
                   : (errno == EEXIST ? "object exists already" : std::strerror(errno));
        ::unlink(tempPath.c_str());
        return false;
    }
    ::unlink(tempPath.c_str());
    return true;
}

bool ObjectStore::put(const std::string &key, const std::string &bytes, std::string &error)
{
    const std::string temp = newTempPath();
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    const bool written = writeAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    if (::close(fd) != 0 || !written) {
        error = std::strerror(written ? errno : savedErrno);
        ::unlink(temp.c_str());
        return false;
    }
    return commitTemp(temp, key, error);
}

bool ObjectStore::read(const std::string &key, std::string &bytes) const
{
    const std::string path = pathFor(key);
    if (path.empty())
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int ObjectStore::sweep(std::int64_t maxAgeSeconds, std::int64_t nowSeconds)
{
    int removed = 0;
    std::error_code ec;
    auto oldEnough = [&](const fs::path &path, std::int64_t age) {
        struct stat info
        {
        };
        return ::lstat(path.c_str(), &info) == 0 && nowSeconds - info.st_mtime > age;
    };
    for (auto it = fs::recursive_directory_iterator(m_objects, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && oldEnough(it->path(), maxAgeSeconds)
            && ::unlink(it->path().c_str()) == 0)
            ++removed;
    }
    // Empty key folders go too (deepest first).
    for (int pass = 0; pass < 3; ++pass) {
        std::vector<fs::path> empty;
        for (auto it = fs::recursive_directory_iterator(m_objects, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_directory(ec) && fs::is_empty(it->path(), ec))
                empty.push_back(it->path());
        }
        for (const fs::path &dir : empty)
            ::rmdir(dir.c_str());
    }
    // Temporary files of uploads that were abandoned mid-way.
    for (auto it = fs::directory_iterator(m_temp, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        if (oldEnough(it->path(), 3600))
            ::unlink(it->path().c_str());
    }
    return removed;
}

} // namespace quorvel::service
