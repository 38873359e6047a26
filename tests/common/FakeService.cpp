#include "FakeService.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {
const char kBuffer[] = "fakeServiceBuffer";
const char kAnswered[] = "fakeServiceAnswered";

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    default:
        return "Status";
    }
}
} // namespace

QByteArray FakeService::Request::path() const
{
    const int q = target.indexOf('?');
    return q < 0 ? target : target.left(q);
}

QByteArray FakeService::Request::header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first == name)
            return h.second;
    }
    return QByteArray();
}

bool FakeService::Request::hasHeaderNamed(const QByteArray &exactName) const
{
    for (const auto &h : headers) {
        if (h.first == exactName)
            return true;
    }
    return false;
}

FakeService::FakeService(QObject *parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &FakeService::onNewConnection);
    m_handler = [](const Request &) { return Response { 404, "{}" }; };
}

FakeService::~FakeService() = default;

bool FakeService::listen() { return m_server->listen(QHostAddress::LocalHost, 0); }

QString FakeService::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort());
}

QList<FakeService::Request> FakeService::requestsTo(const QByteArray &pathPrefix) const
{
    QList<Request> out;
    for (const Request &r : m_requests) {
        if (r.path().startsWith(pathPrefix))
            out << r;
    }
    return out;
}

FakeService::Response FakeService::json(const QByteArray &body, int status)
{
    Response r;
    r.status = status;
    r.body = body;
    return r;
}

void FakeService::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (socket->property(kBuffer).isValid() && !socket->property(kAnswered).toBool())
                ++m_abandoned;
            socket->deleteLater();
        });
    }
}

void FakeService::onReadyRead(QTcpSocket *socket)
{
    QByteArray buffer = socket->property(kBuffer).toByteArray() + socket->readAll();
    socket->setProperty(kBuffer, buffer);
    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    Request request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    qint64 length = 0;
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i);
        const int colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = line.left(colon);
        const QByteArray value = line.mid(colon + 1).trimmed();
        request.headers.append({ name, value });
        if (name.toLower() == "content-length")
            length = value.toLongLong();
    }
    if (buffer.size() < headerEnd + 4 + length)
        return;
    if (socket->property(kAnswered).isValid())
        return;
    socket->setProperty(kAnswered, false);
    request.body = buffer.mid(headerEnd + 4, int(length));
    m_requests.append(request);
    const Response response = m_handler(request);
    emit requestReceived();
    if (response.hold)
        return;

    QPointer<QTcpSocket> guard(socket);
    auto send = [guard, response] {
        if (!guard)
            return;
        guard->setProperty(kAnswered, true);
        QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' '
            + reason(response.status) + "\r\n";
        out += "Content-Type: " + response.contentType + "\r\n";
        out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        out += "Connection: close\r\n\r\n";
        out += response.body;
        guard->write(out);
        guard->disconnectFromHost();
    };
    if (response.delayMs > 0)
        QTimer::singleShot(response.delayMs, this, send);
    else
        send();
}
