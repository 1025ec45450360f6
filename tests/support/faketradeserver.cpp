#include "faketradeserver.h"

#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>
#include <QtEndian>

namespace {

QString compact(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace

FakeTradeServer::FakeTradeServer(QObject *parent)
    : QObject(parent)
    , m_tcpServer(new QTcpServer(this))
    , m_wsServer(new QWebSocketServer(QStringLiteral("FakeTradeServer"), QWebSocketServer::NonSecureMode, this))
{
    // Our own listener hands sockets to the WebSocket server, so that a connection's
    // TCP socket stays reachable for reading frames ourselves.
    connect(m_tcpServer, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *tcp = m_tcpServer->nextPendingConnection()) {
            m_handshaking.insert(tcp->peerPort(), tcp);
            m_wsServer->handleConnection(tcp);
        }
    });
    connect(m_wsServer, &QWebSocketServer::newConnection, this, &FakeTradeServer::onWebSocketConnection);
    listen();
}

FakeTradeServer::~FakeTradeServer()
{
    // WebSockets first: they own their TCP sockets, which are also children of the
    // listener.
    for (Client *client : std::as_const(m_clients)) {
        if (client->socket) {
            client->socket->disconnect(this);
            client->socket->abort();
            delete client->socket;
        }
        delete client;
    }
    m_clients.clear();
    for (const auto &tcp : std::as_const(m_handshaking)) {
        if (tcp)
            tcp->abort();
    }
    delete m_wsServer;
    delete m_tcpServer;
}

void FakeTradeServer::listen()
{
    if (!m_tcpServer->listen(QHostAddress::LocalHost, m_port))
        qWarning("FakeTradeServer: cannot listen on port %u: %s", m_port, qPrintable(m_tcpServer->errorString()));
    m_port = m_tcpServer->serverPort();
}

void FakeTradeServer::send(const QJsonObject &object)
{
    sendText(compact(object));
}

void FakeTradeServer::sendText(const QString &text)
{
    for (Client *client : std::as_const(m_clients)) {
        if (!m_silent && client->socket)
            client->socket->sendTextMessage(text);
    }
}

void FakeTradeServer::dropClients()
{
    for (Client *client : QList<Client *>(m_clients)) {
        if (client->tcp)
            client->tcp->abort();
    }
}

void FakeTradeServer::setRefusing(bool refusing)
{
    if (refusing)
        m_tcpServer->close();
    else if (!m_tcpServer->isListening())
        listen();
}

QList<QJsonObject> FakeTradeServer::requests(int reqCode) const
{
    QList<QJsonObject> found;
    for (const QString &text : std::as_const(m_texts)) {
        const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
        if (object.value(QLatin1String("req_code")).toInt() == reqCode)
            found.append(object);
    }
    return found;
}

QJsonObject FakeTradeServer::tick(const QString &symbol, double bid, double ask)
{
    return {{"res_code", 2},           {"symbol", symbol},       {"timestamp", 1700000000},
            {"server_time", 1700007200}, {"tm_ms", 1700000000123LL}, {"bid", bid},
            {"ask", ask},              {"volume", 10000},        {"digits", 5},
            {"min_vol", 100},          {"max_vol", 1000000},     {"step_vol", 100},
            {"bid_high", bid + 0.002}, {"bid_low", bid - 0.002}, {"ask_high", ask + 0.002},
            {"ask_low", ask - 0.002}};
}

void FakeTradeServer::onWebSocketConnection()
{
    while (QWebSocket *socket = m_wsServer->nextPendingConnection()) {
        auto *client = new Client{socket, m_handshaking.take(socket->peerPort()), {}};
        m_clients.append(client);
        ++m_connectionCount;
        connect(socket, &QWebSocket::disconnected, this, [this, socket] { removeClient(socket); });
        // The client sends nothing before it has read the handshake answer, so no
        // frame has reached the WebSocket layer's reader yet.
        if (client->tcp) {
            QObject::disconnect(client->tcp, &QTcpSocket::readyRead, nullptr, nullptr);
            connect(client->tcp, &QTcpSocket::readyRead, this, [this, client] { readFrames(client); });
        }
        emit clientConnected();
    }
}

void FakeTradeServer::onText(Client *client, const QString &text)
{
    m_texts.append(text);
    const QJsonObject request = QJsonDocument::fromJson(text.toUtf8()).object();
    if (request.isEmpty() || m_silent || !client->socket)
        return;
    const int reqCode = request.value(QLatin1String("req_code")).toInt();
    if (reqCode == 1) {
        if (m_loginMode == LoginMode::Ignore)
            return;
        if (m_loginMode == LoginMode::Reject) {
            client->socket->sendTextMessage(compact({{"res_code", 1}, {"state", 0}}));
            return;
        }
        client->socket->sendTextMessage(compact({{"res_code", 1}, {"state", 1},
            {"is_investor_password", m_loginMode == LoginMode::ReadOnly}, {"timezone", m_timeZone},
            {"login", request.value(QLatin1String("id"))}, {"name", "Test Client"}, {"group", "demo"}}));
    }
    for (const QJsonObject &reply : m_replies.value(reqCode))
        client->socket->sendTextMessage(compact(reply));
}

void FakeTradeServer::readFrames(Client *client)
{
    if (!client->tcp)
        return;
    QByteArray &buffer = client->buffer;
    buffer += client->tcp->readAll();
    // Client frames: FIN/opcode byte, mask bit and length, extended length, mask key.
    // The terminal sends every text in one frame, so continuations are skipped.
    while (buffer.size() >= 2) {
        const auto *bytes = reinterpret_cast<const uchar *>(buffer.constData());
        const int opcode = bytes[0] & 0x0F;
        quint64 length = bytes[1] & 0x7F;
        int header = length == 126 ? 4 : length == 127 ? 10 : 2;
        if (buffer.size() < header)
            return;
        if (length == 126)
            length = qFromBigEndian<quint16>(bytes + 2);
        else if (length == 127)
            length = qFromBigEndian<quint64>(bytes + 2);
        const int maskAt = header;
        if (bytes[1] & 0x80)
            header += 4;
        if (quint64(buffer.size()) < header + length)
            return;
        QByteArray payload = buffer.mid(header, int(length));
        if (header > maskAt) {
            for (int i = 0; i < payload.size(); ++i)
                payload[i] = char(payload.at(i) ^ bytes[maskAt + (i % 4)]);
        }
        buffer.remove(0, header + int(length));
        if (opcode == 0x1) {
            onText(client, QString::fromUtf8(payload));
        } else if (opcode == 0x9) {
            emit pingReceived();
            if (!m_silent)
                writeControl(client, 0xA, payload);
        } else if (opcode == 0x8) {
            const int code = payload.size() >= 2 ? qFromBigEndian<quint16>(payload.constData()) : 1005;
            m_closeCodes.append(code);
            emit closeReceived(code);
            if (!m_silent && client->tcp) {
                writeControl(client, 0x8, payload.left(2));
                buffer.clear();
                // May remove the client at once: nothing of it is touched after this.
                client->tcp->disconnectFromHost();
            }
            return;
        }
    }
}

void FakeTradeServer::writeControl(Client *client, int opcode, const QByteArray &payload)
{
    // Server frames are unmasked; control payloads are under 126 bytes.
    client->tcp->write(QByteArray(1, char(0x80 | opcode)) + char(payload.size()) + payload);
}

void FakeTradeServer::removeClient(QWebSocket *socket)
{
    for (int i = 0; i < m_clients.size(); ++i) {
        Client *client = m_clients.at(i);
        if (client->socket != socket)
            continue;
        m_clients.removeAt(i);
        if (client->tcp)
            client->tcp->disconnect(this);
        delete client;
        socket->deleteLater();
        // A stream waiting for this socket to drain goes on with another client or ends.
        if (m_streamLeft > 0)
            QTimer::singleShot(0, this, &FakeTradeServer::streamSome);
        return;
    }
}

void FakeTradeServer::streamTicks(int count, int symbolCount)
{
    m_streamTexts.clear();
    for (int i = 0; i < symbolCount; ++i) {
        QJsonObject object = tick(QStringLiteral("SYM%1").arg(i, 3, 10, QLatin1Char('0')), 1.08512 + i, 1.08527 + i);
        object.insert(QStringLiteral("tm_ms"), QStringLiteral("@SEQ@"));
        m_streamTexts.append(compact(object));
    }
    m_streamLeft = count;
    m_streamIndex = 0;
    streamSome();
}

void FakeTradeServer::streamSome()
{
    constexpr qint64 backlogBytes = 1 << 20;
    Client *target = nullptr;
    for (Client *client : std::as_const(m_clients)) {
        if (!m_silent && client->socket && client->tcp) {
            target = client;
            break;
        }
    }
    if (!target)
        m_streamLeft = 0;
    if (m_streamLeft == 0) {
        if (!m_streamTexts.isEmpty()) {
            m_streamTexts.clear();
            emit streamFinished();
        }
        return;
    }
    connect(target->tcp, &QTcpSocket::bytesWritten, this, &FakeTradeServer::streamSome, Qt::UniqueConnection);
    // The sequence number rides in "tm_ms" so that a receiver can tell the last tick.
    while (m_streamLeft > 0 && target->tcp->bytesToWrite() < backlogBytes) {
        QString text = m_streamTexts.at(m_streamIndex % m_streamTexts.size());
        target->socket->sendTextMessage(text.replace(QLatin1String("\"@SEQ@\""), QString::number(m_streamIndex)));
        ++m_streamIndex;
        --m_streamLeft;
    }
    if (m_streamLeft == 0)
        QTimer::singleShot(0, this, &FakeTradeServer::streamSome);
}
