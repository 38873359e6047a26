#pragma once

#include <QString>

// Where the online service is. QUORVEL_SERVICE_URL when set; otherwise the
// bundled quorvel-service beside the executable, started on first need on a
// free loopback port and stopped with the program. Interface thread only.
namespace ServiceEndpoint {

// The base URL (scheme, host, port; no path), or empty when no service can be
// reached: the reason was then written to the standard error stream and every
// request fails the ordinary way.
QString baseUrl();

// The folder the bundled service keeps its data in (XDG data folder + quorvel/service).
QString bundledDataDir();

} // namespace ServiceEndpoint
