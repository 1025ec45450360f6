// A small HTTP/1.1 listener for the broker list and the account service: one
// request per connection, bodies up to a fixed size, answered by a handler. A
// request has a short time for its headers and body, and when every place
// is taken the longest-waiting connection gives way to the newcomer.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <functional>

class QTcpServer;
class QTcpSocket;

namespace tradeserver {

struct HttpRequest
{
    QByteArray method;
    QByteArray path;
    QByteArray authorization; // the Authorization header's value
    QByteArray body;
};

struct HttpReply
{
    HttpReply(int status = 200, const QByteArray &body = {}, const QByteArray &headers = {})
        : status(status)
        , body(body)
        , headers(headers)
    {
    }

    int status;
    QByteArray body;
    QByteArray headers; // further header lines, each ending in CR LF
};

class HttpService : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxHeaderBytes = 16 * 1024;
    static constexpr int maxBodyBytes = 64 * 1024;
    static constexpr int maxConnections = 32;
    static constexpr int requestTimeoutMs = 3000; // headers and body

    using Handler = std::function<HttpReply(const HttpRequest &)>;

    explicit HttpService(Handler handler, QObject *parent = nullptr);
    ~HttpService() override;

    bool listen(const QHostAddress &address, quint16 port);
    quint16 port() const;
    QString errorString() const;
    // For requests that arrive from now on.
    void setRequestTimeout(int ms) { m_requestTimeoutMs = ms; }

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const HttpReply &reply);
    void timeOut(QTcpSocket *socket);

    struct Pending
    {
        QByteArray buffer;
        quint64 arrival = 0; // order of arrival: the lowest has waited longest
    };

    Handler m_handler;
    QTcpServer *m_server;
    QHash<QTcpSocket *, Pending> m_pending;
    quint64 m_arrivals = 0;
    int m_requestTimeoutMs = requestTimeoutMs;
};

} // namespace tradeserver
