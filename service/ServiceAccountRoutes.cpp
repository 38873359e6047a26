// The account routes of ServiceServer: user information, feedback, avatars and
// the sign-in pages.

#include <httplib.h>

#include <QJsonObject>
#include <QString>
#include <QUrl>

#include "HttpReplies.h"
#include "LoginPages.h"
#include "RequestSignature.h"
#include "ServiceServer.h"

namespace quorvel::service {

namespace {

constexpr int kMaxFeedbackChars = 20000;
constexpr int kMaxContactChars = 500;

} // namespace

void ServiceServer::installAccountRoutes()
{
    httplib::Server &http = *m_http;

    http.Post("/api/v1/userInfo", [this](const httplib::Request &req, httplib::Response &res) {
        SignatureCheck check;
        QJsonObject body;
        std::string userId;
        if (!authorise(req, res, KeyPairKind::Account, check) || !readJsonBody(req, res, body)
            || !requireString(body, "userid", res, userId))
            return;
        const auto user = isHexId(userId) ? m_database.user(userId) : std::nullopt;
        if (!user) {
            sendError(res, 404, "unknown user");
            return;
        }
        QJsonObject reply;
        reply.insert(QStringLiteral("code"), 0);
        reply.insert(QStringLiteral("userid"), QString::fromStdString(user->id));
        reply.insert(QStringLiteral("username"), QString::fromStdString(user->name));
        reply.insert(QStringLiteral("avatar"),
            QString::fromStdString(publicBase(req) + "/avatar/" + user->id + ".png"));
        sendJson(res, 200, reply);
    });

    http.Put("/api/v1/feedback", [this](const httplib::Request &req, httplib::Response &res) {
        SignatureCheck check;
        QJsonObject body;
        std::string content, contact;
        if (!authorise(req, res, KeyPairKind::Account, check) || !readJsonBody(req, res, body)
            || !requireString(body, "content", res, content)
            || !requireString(body, "contact", res, contact))
            return;
        if (QString::fromStdString(content).size() > kMaxFeedbackChars
            || QString::fromStdString(contact).size() > kMaxContactChars) {
            sendError(res, 413, "the feedback is too long");
            return;
        }
        if (!m_database.addFeedback(content, contact, check.sessionId, nowSeconds())) {
            sendError(res, 500, "cannot store the feedback");
            return;
        }
        log("feedback stored (" + std::to_string(content.size()) + " bytes)");
        QJsonObject reply;
        reply.insert(QStringLiteral("code"), 0);
        sendJson(res, 200, reply);
    });

    http.Get(R"(/avatar/([0-9a-f]{32})\.png)",
        [this](const httplib::Request &req, httplib::Response &res) {
            const auto user = m_database.user(req.matches[1]);
            if (!user) {
                sendError(res, 404, "unknown user");
                return;
            }
            res.set_header("Cache-Control", "max-age=86400");
            res.set_content(avatarPng(user->id, user->name), "image/png");
        });
}

bool ServiceServer::redirectAllowed(
    const httplib::Request &req, const std::string &redirectUri) const
{
    // Only this service's own callback page: a sign-in never hands a code elsewhere.
    const QUrl url(QString::fromStdString(redirectUri), QUrl::StrictMode);
    if (!url.isValid()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        || url.path() != QLatin1String("/qq/callback") || !url.userInfo().isEmpty())
        return false;
    const QUrl base(QString::fromStdString(publicBase(req)));
    const int defaultPort = url.scheme() == QLatin1String("https") ? 443 : 80;
    return url.host().compare(base.host(), Qt::CaseInsensitive) == 0
        && url.port(defaultPort) == base.port(80);
}

void ServiceServer::installLoginRoutes()
{
    httplib::Server &http = *m_http;

    auto checkAuthorizeRequest = [this](const httplib::Request &req, httplib::Response &res) {
        if (req.get_param_value("response_type") != "code"
            || req.get_param_value("client_id") != kLoginAppId) {
            sendPage(res, 400,
                messagePage("Sign-in not possible",
                    "This sign-in request does not come from a known application."));
            return false;
        }
        if (!redirectAllowed(req, req.get_param_value("redirect_uri"))) {
            sendPage(res, 400,
                messagePage("Sign-in not possible",
                    "This sign-in request asks to return to an unknown page."));
            return false;
        }
        return true;
    };

    http.Get("/oauth2.0/authorize",
        [checkAuthorizeRequest](const httplib::Request &req, httplib::Response &res) {
            if (!checkAuthorizeRequest(req, res))
                return;
            sendPage(res, 200,
                signInPage(req.get_param_value("client_id"), req.get_param_value("redirect_uri"),
                    req.get_param_value("state"), {}));
        });

    http.Post("/oauth2.0/authorize",
        [this, checkAuthorizeRequest](const httplib::Request &req, httplib::Response &res) {
            if (!checkAuthorizeRequest(req, res))
                return;
            const std::string redirectUri = req.get_param_value("redirect_uri");
            const std::string state = req.get_param_value("state");
            std::string name
                = QString::fromStdString(req.get_param_value("name")).trimmed().toStdString();
            if (!isAcceptableName(name)) {
                sendPage(res, 400,
                    signInPage(req.get_param_value("client_id"), redirectUri, state,
                        "Please enter a name of 1 to 64 characters."));
                return;
            }
            const UserRecord user = m_database.findOrCreateUser(name);
            const std::string code = user.id.empty()
                ? std::string()
                : m_database.createLoginCode(user.id, nowSeconds() + 300);
            if (code.empty()) {
                sendPage(res, 500, messagePage("Sign-in failed", "Please try again."));
                return;
            }
            log("user " + user.id + " signed in");
            std::string target = redirectUri
                + (redirectUri.find('?') == std::string::npos ? "?" : "&") + "code=" + code;
            if (!state.empty())
                target += "&state="
                    + QUrl::toPercentEncoding(QString::fromStdString(state)).toStdString();
            res.set_redirect(target, 302);
        });

    http.Get("/qq/callback", [this](const httplib::Request &req, httplib::Response &res) {
        const auto userId = m_database.takeLoginCode(req.get_param_value("code"), nowSeconds());
        const auto user = userId ? m_database.user(*userId) : std::nullopt;
        if (!user) {
            sendPage(res, 400,
                messagePage(
                    "Sign-in expired", "This sign-in link has expired. Please sign in again."));
            return;
        }
        sendPage(res, 200, callbackPage(user->name, user->id));
    });
}
} // namespace quorvel::service
