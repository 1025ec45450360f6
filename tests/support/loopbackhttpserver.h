// A small HTTP/1.1 server on 127.0.0.1 with an OS-chosen port for the broker list and
// the account service: answers each "METHOD /path" with a scripted status and JSON body
// and records every request. One request per connection; the connection closes after
// the answer. Lives in, and is driven by, the thread that creates it.
//
//     LoopbackHttpServer http;
//     http.setReply("GET", "/brokers", 200, R"([{"servers": []}])");
//     qputenv("KESTRAL_BROKER_PORT", QByteArray::number(http.port()));
//     QTRY_COMPARE(http.requests().size(), 1);
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

class LoopbackHttpServer : public QObject
{
public:
    struct Request
    {
        QByteArray method;
        QString path;
        QByteArray contentType;
        QByteArray authorization;
        QByteArray body;
    };

    explicit LoopbackHttpServer(QObject *parent = nullptr);

    quint16 port() const { return m_port; }

    // Unscripted requests get 404 with an empty body.
    void setReply(const QByteArray &method, const QString &path, int status, const QByteArray &body);

    const QList<Request> &requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);

    QTcpServer *m_server = nullptr;
    quint16 m_port = 0;
    QHash<QByteArray, QPair<int, QByteArray>> m_replies; // status and body
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<Request> m_requests;
};
