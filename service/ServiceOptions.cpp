#include "ServiceOptions.h"

#include <cctype>
#include <cstdlib>

namespace quorvel::service {

namespace {

bool parseInteger(const std::string &text, long long minimum, long long maximum, long long &value)
{
    if (text.empty() || text.size() > 18
        || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::stoll(text);
    return value >= minimum && value <= maximum;
}

std::string defaultDataDir()
{
    const char *xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg)
        return std::string(xdg) + "/quorvel/service";
    const char *home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share/quorvel/service";
}

} // namespace

std::int64_t parseByteSize(const std::string &text)
{
    std::size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])))
        ++digits;
    if (digits == 0 || digits > 15)
        return -1;
    std::int64_t value = std::stoll(text.substr(0, digits));
    std::string unit = text.substr(digits);
    for (char &c : unit)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    if (unit == "" || unit == "B")
        return value;
    if (unit == "K" || unit == "KB")
        return value * 1000;
    if (unit == "M" || unit == "MB")
        return value * 1000 * 1000;
    if (unit == "G" || unit == "GB")
        return value * 1000 * 1000 * 1000;
    if (unit == "KIB")
        return value * 1024;
    if (unit == "MIB")
        return value * 1024 * 1024;
    if (unit == "GIB")
        return value * 1024 * 1024 * 1024;
    return -1;
}

std::string serviceUsage()
{
    return "Usage: quorvel-service [--listen HOST:PORT] [--data DIR] [--workers N]\n"
           "                       [--max-upload SIZE] [--parent-pid PID]\n"
           "\n"
           "The quorvel recognition and enhancement service.\n"
           "\n"
           "  --listen HOST:PORT  address to listen on (default 127.0.0.1:8080; port 0 picks a\n"
           "                      free port). The first line on standard output is\n"
           "                      \"listening on http://HOST:PORT\".\n"
           "  --data DIR          folder for the job database and the stored objects\n"
           "                      (default $XDG_DATA_HOME/quorvel/service)\n"
           "  --workers N         jobs run at once (default 2; 0 accepts jobs without running "
           "them)\n"
           "  --max-upload SIZE   largest accepted upload, e.g. 50M, 200k, 1G (default 50M)\n"
           "  --parent-pid PID    exit when process PID ends (for a service started by the app)\n"
           "  --help              show this text\n"
           "\n"
           "Environment: QUORVEL_SERVICE_KEY, QUORVEL_SERVICE_SECRET, QUORVEL_ACCOUNT_KEY,\n"
           "QUORVEL_ACCOUNT_SECRET replace the compiled-in key pairs; QUORVEL_PUBLIC_URL is the\n"
           "base of the upload, download and avatar URLs handed to clients (default: the Host\n"
           "header of the request); QUORVEL_OCR_LANGUAGES the Tesseract languages\n"
           "(default eng+chi_sim); OMP_THREAD_LIMIT the threads per recognition (default 1).\n"
           "SIGTERM and SIGINT stop the service; jobs that were running are run again at the\n"
           "next start.\n";
}

bool parseServiceOptions(
    int argc, char **argv, ServiceOptions &options, bool &help, std::string &error)
{
    help = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            help = true;
            return true;
        }
        std::string name = arg;
        std::string value;
        const auto equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            error = "missing value after " + arg;
            return false;
        }
        long long number = 0;
        if (name == "--listen") {
            const auto colon = value.rfind(':');
            if (colon == std::string::npos || colon == 0
                || !parseInteger(value.substr(colon + 1), 0, 65535, number)) {
                error = "--listen expects HOST:PORT, got '" + value + "'";
                return false;
            }
            options.host = value.substr(0, colon);
            options.port = int(number);
        } else if (name == "--data") {
            if (value.empty()) {
                error = "--data expects a folder";
                return false;
            }
            options.dataDir = value;
        } else if (name == "--workers") {
            if (!parseInteger(value, 0, 64, number)) {
                error = "--workers expects a number from 0 to 64, got '" + value + "'";
                return false;
            }
            options.workers = int(number);
        } else if (name == "--max-upload") {
            const std::int64_t size = parseByteSize(value);
            if (size <= 0) {
                error = "--max-upload expects a size such as 50M, got '" + value + "'";
                return false;
            }
            options.maxUpload = size;
        } else if (name == "--parent-pid") {
            if (!parseInteger(value, 1, 4194304, number)) {
                error = "--parent-pid expects a process id, got '" + value + "'";
                return false;
            }
            options.parentPid = long(number);
        } else {
            error = "unknown option " + name;
            return false;
        }
    }
    if (options.dataDir.empty())
        options.dataDir = defaultDataDir();
    const char *publicUrl = std::getenv("QUORVEL_PUBLIC_URL");
    if (publicUrl && *publicUrl) {
        options.publicUrl = publicUrl;
        while (!options.publicUrl.empty() && options.publicUrl.back() == '/')
            options.publicUrl.pop_back();
    }
    return true;
}

} // namespace quorvel::service
