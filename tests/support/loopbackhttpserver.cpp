#include "loopbackhttpserver.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

// Requests above this are refused: a test never sends one, a runaway client might.
constexpr int maxRequestBytes = 1 << 20;

} // namespace

LoopbackHttpServer::LoopbackHttpServer(QObject *parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    m_server->listen(QHostAddress::LocalHost, 0);
    m_port = m_server->serverPort();
    connect(m_server, &QTcpServer::newConnection, this, &LoopbackHttpServer::onNewConnection);
}

void LoopbackHttpServer::setReply(const QByteArray &method, const QString &path, int status, const QByteArray &body)
{
    m_replies.insert(method + ' ' + path.toUtf8(), {status, body});
}

void LoopbackHttpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void LoopbackHttpServer::onReadyRead(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    if (buffer.size() > maxRequestBytes) {
        socket->abort();
        return;
    }
    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;

    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    Request request;
    request.method = requestLine.value(0);
    request.path = QString::fromUtf8(requestLine.value(1)).section(QLatin1Char('?'), 0, 0);
    const auto header = [&lines](const QByteArray &name) {
        for (const QByteArray &line : lines) {
            if (line.toLower().startsWith(name + ':'))
                return line.mid(name.size() + 1).trimmed();
        }
        return QByteArray();
    };
    request.contentType = header("content-type");
    request.authorization = header("authorization");
    const int contentLength = qBound(0, header("content-length").toInt(), maxRequestBytes);
    if (buffer.size() < headerEnd + 4 + contentLength)
        return;
    request.body = buffer.mid(headerEnd + 4, contentLength);
    m_buffers.remove(socket);

    m_requests.append(request);

    // Clients read the status code only; the reason phrase is any text.
    const auto reply = m_replies.value(request.method + ' ' + request.path.toUtf8(), {404, QByteArray()});
    socket->write("HTTP/1.1 " + QByteArray::number(reply.first) + " Status\r\nContent-Type: application/json\r\n" +
                  "Content-Length: " + QByteArray::number(reply.second.size()) + "\r\nConnection: close\r\n\r\n" +
                  reply.second);
    socket->disconnectFromHost();
}
