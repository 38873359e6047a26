#include "LoginPages.h"

#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <QByteArray>
#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

namespace quorvel::service {

namespace {

const char *kPageStyle
    = "<style>body{font-family:'Microsoft YaHei',sans-serif;background:#F9FAFB;margin:0;"
      "display:flex;align-items:center;justify-content:center;height:100vh}"
      "form,div.box{background:#fff;border:1px solid #DBDBDB;border-radius:8px;padding:32px;"
      "width:320px}h1{font-size:20px;color:#3E3E3E;margin:0 0 16px}"
      "label{display:block;color:#3E3E3E;font-size:14px;margin-bottom:6px}"
      "input[type=text]{box-sizing:border-box;width:100%;padding:8px;font-size:16px;"
      "border:1px solid #DBDBDB;border-radius:4px}"
      "button{margin-top:16px;width:100%;padding:10px;font-size:16px;color:#fff;"
      "background:#06A8FF;border:0;border-radius:4px;cursor:pointer}"
      "p.problem{color:#D93025;font-size:13px}</style>";

} // namespace

std::string htmlEscape(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool isAcceptableName(const std::string &name)
{
    const QByteArray bytes = QByteArray::fromStdString(name);
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes || text.trimmed().isEmpty() || text.size() > 64)
        return false;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return false;
    }
    return true;
}

std::string signInPage(const std::string &clientId, const std::string &redirectUri,
    const std::string &state, const std::string &problem)
{
    std::string page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Sign in</title>";
    page += kPageStyle;
    page += "</head><body><form method=\"post\" action=\"/oauth2.0/authorize\">"
            "<h1>Sign in to quorvel</h1>";
    if (!problem.empty())
        page += "<p class=\"problem\">" + htmlEscape(problem) + "</p>";
    page += "<label for=\"name\">Your name</label>"
            "<input type=\"text\" id=\"name\" name=\"name\" maxlength=\"64\" "
            "autocomplete=\"nickname\""
            " required autofocus>"
            "<input type=\"hidden\" name=\"response_type\" value=\"code\">"
            "<input type=\"hidden\" name=\"client_id\" value=\""
        + htmlEscape(clientId)
        + "\">"
          "<input type=\"hidden\" name=\"redirect_uri\" value=\""
        + htmlEscape(redirectUri) + "\">";
    if (!state.empty())
        page += "<input type=\"hidden\" name=\"state\" value=\"" + htmlEscape(state) + "\">";
    page += "<button type=\"submit\">Sign in</button></form></body></html>";
    return page;
}

std::string callbackPage(const std::string &nickname, const std::string &userId)
{
    QJsonObject user;
    user.insert(QStringLiteral("nickname"), QString::fromStdString(nickname));
    user.insert(QStringLiteral("userid"), QString::fromStdString(userId));
    // A JSON object is a JavaScript literal; "<" escaped keeps "</script>" out of it.
    QByteArray literal = QJsonDocument(user).toJson(QJsonDocument::Compact);
    literal.replace("<", "\\u003c").replace(">", "\\u003e").replace("&", "\\u0026");
    literal.replace("\xe2\x80\xa8", "\\u2028").replace("\xe2\x80\xa9", "\\u2029");

    std::string page
        = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Signed in</title>";
    page += kPageStyle;
    page += "</head><body><div class=\"box\"><h1>Signed in</h1><p>Welcome, " + htmlEscape(nickname)
        + ". This window closes by itself.</p></div><script>\n"
          "var user = "
        + literal.toStdString()
        + ";\n"
          "function deliver() {\n"
          "  if (typeof window.qqCallBack === 'function') {\n"
          "    window.qqCallBack(JSON.stringify({nickname: user.nickname, userid: user.userid}), "
          "'');\n"
          "    return true;\n"
          "  }\n"
          "  return false;\n"
          "}\n"
          "if (!deliver()) {\n"
          "  var tries = 0;\n"
          "  var timer = setInterval(function () {\n"
          "    if (deliver() || ++tries > 100) clearInterval(timer);\n"
          "  }, 100);\n"
          "}\n"
          "</script></body></html>";
    return page;
}

std::string messagePage(const std::string &title, const std::string &message)
{
    std::string page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>"
        + htmlEscape(title) + "</title>" + kPageStyle + "</head><body><div class=\"box\"><h1>"
        + htmlEscape(title) + "</h1><p>" + htmlEscape(message) + "</p></div></body></html>";
    return page;
}

std::string avatarPng(const std::string &userId, const std::string &name)
{
    const QByteArray hash
        = QCryptographicHash::hash(QByteArray::fromStdString(userId), QCryptographicHash::Md5);
    cv::Mat hsv(1, 1, CV_8UC3, cv::Scalar(uchar(hash[0]) % 180, 150, 200));
    cv::Mat bgr;
    cv::cvtColor(hsv, bgr, cv::COLOR_HSV2BGR);
    const cv::Vec3b colour = bgr.at<cv::Vec3b>(0, 0);
    cv::Mat avatar(96, 96, CV_8UC3, cv::Scalar(colour[0], colour[1], colour[2]));

    // The Hershey fonts only draw ASCII; other names get a neutral mark.
    std::string letter = "?";
    for (char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            letter = std::string(1, char(std::toupper(static_cast<unsigned char>(c))));
            break;
        }
    }
    int baseline = 0;
    const cv::Size size = cv::getTextSize(letter, cv::FONT_HERSHEY_SIMPLEX, 2.0, 4, &baseline);
    cv::putText(avatar, letter, cv::Point((96 - size.width) / 2, (96 + size.height) / 2),
        cv::FONT_HERSHEY_SIMPLEX, 2.0, cv::Scalar(255, 255, 255), 4, cv::LINE_AA);
    std::vector<uchar> png;
    cv::imencode(".png", avatar, png);
    return std::string(png.begin(), png.end());
}

} // namespace quorvel::service
