#pragma once

#include <string>

// The small web pages of the sign-in flow and the generated avatars. Pure
// functions; every text that reaches a page is escaped here.
namespace quorvel::service {

// The application id the authorise page accepts as client_id.
constexpr const char *kLoginAppId = "588743635";

std::string htmlEscape(const std::string &text);

// The sign-in form: one name field (autofocus) and a "Sign in" button; Enter submits.
std::string signInPage(const std::string &clientId, const std::string &redirectUri,
    const std::string &state, const std::string &problem);

// The callback page: hands {nickname, userid} to window.qqCallBack when the
// hosting view provides it (retrying briefly, since bridges are injected late).
std::string callbackPage(const std::string &nickname, const std::string &userId);

// A plain page with one message (errors of the sign-in flow).
std::string messagePage(const std::string &title, const std::string &message);

// 96 x 96 PNG: the first letter of the name on a colour derived from the id.
std::string avatarPng(const std::string &userId, const std::string &name);

// A display name is 1 to 64 characters of valid UTF-8 without control characters.
bool isAcceptableName(const std::string &name);

} // namespace quorvel::service
