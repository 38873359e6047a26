#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "ObjectStore.h"
#include "ServiceDatabase.h"
#include "ServiceEngine.h"
#include "ServiceKeys.h"
#include "ServiceOptions.h"

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

// The HTTP face of the service: the signed REST API (object URLs, jobs,
// account), the presigned object transfers, the sign-in pages and /healthz.
// Requests are served by the HTTP library's thread pool; jobs run on the
// JobRunner's workers. Created and run by main(); stop() may be called from
// any thread.
namespace quorvel::service {

class JobRunner;
struct SignatureCheck;

class ServiceServer
{
public:
    ServiceServer(ServiceOptions options, ServiceKeys keys, EngineRegistry engines);
    ~ServiceServer();
    ServiceServer(const ServiceServer &) = delete;
    ServiceServer &operator=(const ServiceServer &) = delete;

    // Opens the data folder, queues interrupted jobs, binds the socket and starts the workers.
    bool open(std::string &error);
    int port() const { return m_port; }
    // Serves until stop(); then stops the workers.
    void run();
    void stop();
    // Removes objects older than a day; returns how many went.
    int sweepObjects();

    void log(const std::string &line);

private:
    void installRoutes();
    void installObjectRoutes();
    void installJobRoutes();
    void installAccountRoutes();
    void installLoginRoutes();

    bool authorise(const httplib::Request &req, httplib::Response &res, KeyPairKind pair,
        SignatureCheck &check);
    std::string publicBase(const httplib::Request &req) const;
    bool redirectAllowed(const httplib::Request &req, const std::string &redirectUri) const;

    ServiceOptions m_options;
    ServiceKeys m_keys;
    ObjectStore m_store;
    ServiceDatabase m_database;
    std::unique_ptr<JobRunner> m_runner;
    std::unique_ptr<httplib::Server> m_http;
    std::mutex m_logMutex;
    int m_port = 0;
};

} // namespace quorvel::service
