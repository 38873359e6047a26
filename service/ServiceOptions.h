#pragma once

#include <cstdint>
#include <string>

// Command line of quorvel-service.
namespace quorvel::service {

struct ServiceOptions
{
    std::string host = "127.0.0.1";
    int port = 8080; // 0 picks a free port
    std::string dataDir; // default: $XDG_DATA_HOME/quorvel/service
    int workers = 2; // job worker threads; 0 keeps jobs queued
    std::int64_t maxUpload = 50LL * 1000 * 1000; // bytes per uploaded object
    long parentPid = 0; // exit when this process is gone (0: no watch)
    std::string publicUrl; // base of the URLs handed out; default: from the Host header
};

// Parses argv into options. Returns false with `error` set on a bad command line;
// `help` is set when --help was asked for.
bool parseServiceOptions(
    int argc, char **argv, ServiceOptions &options, bool &help, std::string &error);

// "50M", "50MB", "1048576", "2G", "512k" -> bytes; -1 when not a size.
std::int64_t parseByteSize(const std::string &text);

std::string serviceUsage();

} // namespace quorvel::service
