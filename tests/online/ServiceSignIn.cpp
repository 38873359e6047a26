#include "ServiceSignIn.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QUrlQuery>

QString signInOnService(const QString &baseUrl, const QString &name)
{
    QNetworkAccessManager net;
    const QString callback = baseUrl + QStringLiteral("/qq/callback");
    QUrlQuery form;
    form.addQueryItem(QStringLiteral("name"), name);
    form.addQueryItem(QStringLiteral("response_type"), QStringLiteral("code"));
    form.addQueryItem(QStringLiteral("client_id"), QStringLiteral("588743635"));
    form.addQueryItem(QStringLiteral("redirect_uri"), callback);
    QNetworkRequest post(QUrl(baseUrl + QStringLiteral("/oauth2.0/authorize")));
    post.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    post.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *reply = net.post(post, form.toString(QUrl::FullyEncoded).toUtf8());
    QSignalSpy done(reply, &QNetworkReply::finished);
    if (!done.wait(10000))
        return QString();
    const QUrl target = reply->url().resolved(
        reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl());
    reply->deleteLater();
    if (!target.path().endsWith(QLatin1String("/qq/callback")))
        return QString();

    QNetworkReply *page = net.get(QNetworkRequest(target));
    QSignalSpy pageDone(page, &QNetworkReply::finished);
    if (!pageDone.wait(10000))
        return QString();
    const QString html = QString::fromUtf8(page->readAll());
    page->deleteLater();
    // The page hands {nickname, userid} to window.qqCallBack.
    const QRegularExpressionMatch m
        = QRegularExpression(QStringLiteral("var user = (\\{[^;]*\\});")).match(html);
    return m.hasMatch() ? m.captured(1) : QString();
}
