#include "httpservice.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace tradeserver {

namespace {

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Payload Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

} // namespace

HttpService::HttpService(Handler handler, QObject *parent)
    : QObject(parent)
    , m_handler(std::move(handler))
    , m_server(new QTcpServer(this))
{
    m_server->setMaxPendingConnections(maxConnections);
    connect(m_server, &QTcpServer::newConnection, this, &HttpService::onNewConnection);
}

HttpService::~HttpService()
{
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        it.key()->disconnect(this);
        it.key()->abort();
    }
}

bool HttpService::listen(const QHostAddress &address, quint16 port)
{
    return m_server->listen(address, port);
}

quint16 HttpService::port() const
{
    return m_server->serverPort();
}

QString HttpService::errorString() const
{
    return m_server->errorString();
}

void HttpService::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        if (m_pending.size() >= maxConnections) {
            auto oldest = m_pending.begin();
            for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
                if (it->arrival < oldest->arrival)
                    oldest = it;
            }
            QTcpSocket *evicted = oldest.key();
            m_pending.erase(oldest);
            evicted->disconnect(this);
            evicted->abort();
            evicted->deleteLater();
        }
        m_pending.insert(socket, {QByteArray(), ++m_arrivals});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_pending.remove(socket);
            socket->deleteLater();
        });
        QTimer::singleShot(m_requestTimeoutMs, socket, [this, socket] { timeOut(socket); });
    }
}

void HttpService::timeOut(QTcpSocket *socket)
{
    if (!m_pending.contains(socket))
        return;
    answer(socket, {408, R"({"error":"Request timeout"})"});
}

void HttpService::onReadyRead(QTcpSocket *socket)
{
    auto it = m_pending.find(socket);
    if (it == m_pending.end())
        return;
    QByteArray &buffer = it->buffer;
    buffer += socket->read(maxHeaderBytes + maxBodyBytes + 1 - buffer.size());
    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        if (buffer.size() > maxHeaderBytes)
            answer(socket, {413, R"({"error":"Request too large"})"});
        return;
    }
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    if (requestLine.size() != 3 || !requestLine.at(2).startsWith("HTTP/1.")) {
        answer(socket, {400, R"({"error":"Malformed request"})"});
        return;
    }
    qint64 length = 0;
    QByteArray authorization;
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const int colon = line.indexOf(':');
        const QByteArray name = colon > 0 ? line.left(colon).trimmed().toLower() : QByteArray();
        if (name == "authorization")
            authorization = line.mid(colon + 1).trimmed();
        if (name == "content-length") {
            bool ok = false;
            length = line.mid(colon + 1).trimmed().toLongLong(&ok);
            if (!ok || length < 0) {
                answer(socket, {400, R"({"error":"Bad Content-Length"})"});
                return;
            }
        }
    }
    if (length > maxBodyBytes) {
        answer(socket, {413, R"({"error":"Request too large"})"});
        return;
    }
    if (buffer.size() < headerEnd + 4 + length)
        return;
    HttpRequest request;
    request.method = requestLine.at(0);
    request.path = requestLine.at(1).split('?').value(0);
    request.authorization = authorization;
    request.body = buffer.mid(headerEnd + 4, int(length));
    answer(socket, m_handler(request));
}

void HttpService::answer(QTcpSocket *socket, const HttpReply &reply)
{
    m_pending.remove(socket);
    socket->disconnect(this);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reason(reply.status) + "\r\n";
    head += reply.headers;
    head += "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(reply.body.size()) +
            "\r\nConnection: close\r\n\r\n";
    socket->write(head + reply.body);
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->deleteLater();
    else
        socket->disconnectFromHost();
}

} // namespace tradeserver
