#include "faketradeserver.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>

FakeTradeServer::FakeTradeServer(QObject *parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    // The sockets are the listening server's children: they go with it.
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *tcp = m_server->nextPendingConnection()) {
            m_clients.append(tcp);
            ++m_connectionCount;
            connect(tcp, &QTcpSocket::readyRead, this, [this, tcp] { read(tcp); });
            connect(tcp, &QTcpSocket::disconnected, this, [this, tcp] {
                m_clients.removeOne(tcp);
                tcp->deleteLater();
            });
        }
    });
    listen();
}

void FakeTradeServer::listen()
{
    if (!m_server->listen(QHostAddress::LocalHost, m_port))
        qWarning("FakeTradeServer: cannot listen on port %u", m_port);
    m_port = m_server->serverPort();
}

void FakeTradeServer::send(const QJsonObject &object)
{
    for (QTcpSocket *tcp : std::as_const(m_clients))
        sendText(tcp, object);
}

void FakeTradeServer::dropClients()
{
    for (QTcpSocket *tcp : QList<QTcpSocket *>(m_clients))
        tcp->abort();
}

void FakeTradeServer::flush()
{
    for (QTcpSocket *tcp : std::as_const(m_clients)) {
        while (tcp->bytesToWrite() > 0 && tcp->waitForBytesWritten(20000)) {
        }
    }
}

void FakeTradeServer::setRefusing(bool refusing)
{
    if (refusing)
        m_server->close();
    else if (!m_server->isListening())
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

bool FakeTradeServer::handshake(QTcpSocket *tcp)
{
    const int end = tcp->peek(tcp->bytesAvailable()).indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    const QString request = QString::fromLatin1(tcp->read(end + 4));
    const QRegularExpression keyLine(QStringLiteral("Sec-WebSocket-Key: *(\\S+)"),
                                     QRegularExpression::CaseInsensitiveOption);
    const QByteArray key = keyLine.match(request).captured(1).toLatin1() + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
    const QByteArray accept = m_brokenHandshake ? "d3JvbmcgYWNjZXB0IGtleQ=="
                                                : QCryptographicHash::hash(key, QCryptographicHash::Sha1).toBase64();
    tcp->write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: "
               + accept + "\r\n\r\n");
    if (m_brokenHandshake) {
        tcp->write(QByteArray(1 << 20, 'x'));
        return false;
    }
    tcp->setProperty("open", true);
    emit clientConnected();
    return true;
}

void FakeTradeServer::read(QTcpSocket *tcp)
{
    if (!tcp->property("open").toBool() && !handshake(tcp))
        return;
    // Client frames: FIN/opcode, mask bit and length, extended length, mask key. The
    // terminal sends every text in one frame.
    while (tcp->bytesAvailable() >= 2) {
        const QByteArray head = tcp->peek(14);
        const auto *bytes = reinterpret_cast<const uchar *>(head.constData());
        const int opcode = bytes[0] & 0x0F;
        quint64 length = bytes[1] & 0x7F;
        const int lengthBytes = length == 126 ? 2 : length == 127 ? 8 : 0;
        const int header = 2 + lengthBytes + 4;
        if (head.size() < header)
            return;
        if (lengthBytes)
            length = lengthBytes == 2 ? qFromBigEndian<quint16>(bytes + 2) : qFromBigEndian<quint64>(bytes + 2);
        if (quint64(tcp->bytesAvailable()) < header + length)
            return;
        const QByteArray mask = tcp->read(header).right(4);
        QByteArray payload = tcp->read(qint64(length));
        for (int i = 0; i < payload.size(); ++i)
            payload[i] = char(payload.at(i) ^ mask.at(i % 4));
        if (opcode == 0x1) {
            onText(tcp, QString::fromUtf8(payload));
        } else if (opcode == 0x9) {
            emit pingReceived();
            if (!m_silent)
                write(tcp, 0xA, payload);
        } else if (opcode == 0x8) {
            m_closeCodes.append(payload.size() >= 2 ? qFromBigEndian<quint16>(payload.constData()) : 1005);
            if (!m_silent) {
                write(tcp, 0x8, payload.left(2));
                tcp->disconnectFromHost(); // may delete the client at once
            }
            return;
        }
    }
}

void FakeTradeServer::onText(QTcpSocket *tcp, const QString &text)
{
    m_texts.append(text);
    const QJsonObject request = QJsonDocument::fromJson(text.toUtf8()).object();
    const int reqCode = request.value(QLatin1String("req_code")).toInt();
    if (reqCode == 1 && m_loginMode == LoginMode::Reject) {
        sendText(tcp, {{"res_code", 1}, {"state", 0}});
        return;
    }
    if (reqCode == 1) {
        QJsonObject reply{{"res_code", 1}, {"state", 1}, {"is_investor_password", m_loginMode == LoginMode::ReadOnly},
                          {"timezone", m_timeZone}, {"login", request.value(QLatin1String("id"))},
                          {"name", "Test Client"}, {"group", "demo"}};
        for (auto key = m_loginKeys.begin(); key != m_loginKeys.end(); ++key)
            reply.insert(key.key(), key.value());
        sendText(tcp, reply);
    }
    for (const QJsonObject &reply : m_replies.value(reqCode))
        sendText(tcp, reply);
}

void FakeTradeServer::sendText(QTcpSocket *tcp, const QJsonObject &object)
{
    if (!m_silent && tcp->property("open").toBool())
        write(tcp, 0x1, QJsonDocument(object).toJson(QJsonDocument::Compact));
}

void FakeTradeServer::write(QTcpSocket *tcp, int opcode, const QByteArray &payload)
{
    tcp->write(frameHeader(opcode, quint64(payload.size())) + payload);
}

void FakeTradeServer::sendFrameHeader(quint64 length)
{
    for (QTcpSocket *tcp : std::as_const(m_clients))
        tcp->write(frameHeader(0x1, length));
}

QByteArray FakeTradeServer::frameHeader(int opcode, quint64 size)
{
    // Server frames are unmasked; the length takes one byte, or a marker and 2 or 8 more.
    const int extra = size < 126 ? 0 : size < 65536 ? 2 : 8;
    QByteArray frame(1, char(0x80 | opcode));
    frame += char(extra == 0 ? size : extra == 2 ? 126 : 127);
    for (int byte = extra - 1; byte >= 0; --byte)
        frame += char(size >> (8 * byte));
    return frame;
}
