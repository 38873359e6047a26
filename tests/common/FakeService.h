#pragma once

#include <functional>

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

class QTcpServer;
class QTcpSocket;

// A tiny HTTP/1.1 server on 127.0.0.1 for client tests: records every request
// exactly as it arrived (header names as written, in order) and answers with
// whatever the test's handler returns. One request per connection.
class FakeService : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QByteArray method;
        QByteArray target; // path and query as sent
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;

        QByteArray path() const;
        // First header of that name, compared exactly (case-sensitive).
        QByteArray header(const QByteArray &name) const;
        bool hasHeaderNamed(const QByteArray &exactName) const;
    };

    struct Response
    {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        int delayMs = 0; // answer later
        bool hold = false; // never answer (the client must give up)
    };

    using Handler = std::function<Response(const Request &)>;

    explicit FakeService(QObject *parent = nullptr);
    ~FakeService() override;

    bool listen();
    QString baseUrl() const;
    void setHandler(Handler handler) { m_handler = std::move(handler); }

    const QList<Request> &requests() const { return m_requests; }
    QList<Request> requestsTo(const QByteArray &pathPrefix) const;
    void clearRequests() { m_requests.clear(); }
    // Connections the client closed before an answer was sent.
    int abandonedConnections() const { return m_abandoned; }

    static Response json(const QByteArray &body, int status = 200);

signals:
    void requestReceived();

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);

    QTcpServer *m_server = nullptr;
    Handler m_handler;
    QList<Request> m_requests;
    int m_abandoned = 0;
};
