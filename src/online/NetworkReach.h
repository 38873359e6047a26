#pragma once

class QNetworkReply;

// Tells a service that could not be reached at all from one that answered
// with a failure, so the views can name the first in their messages.
namespace NetworkReach {

// True for a finished reply that got no HTTP answer because the connection
// could not be made, was dropped or timed out.
bool isUnreachable(const QNetworkReply *reply);

} // namespace NetworkReach
