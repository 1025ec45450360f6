#include "faketradeserver.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>

namespace {

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

FakeTradeServer::FakeTradeServer(QObject *parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *tcp = m_server->nextPendingConnection()) {
            auto *client = new Client{tcp, {}, false};
            m_clients.append(client);
            ++m_connectionCount;
            connect(tcp, &QTcpSocket::readyRead, this, [this, client] { read(client); });
            connect(tcp, &QTcpSocket::disconnected, this, [this, client] {
                m_clients.removeOne(client);
                client->tcp->deleteLater();
                delete client;
                if (m_streamLeft > 0)
                    QTimer::singleShot(0, this, &FakeTradeServer::streamSome);
            });
        }
    });
    listen();
}

FakeTradeServer::~FakeTradeServer()
{
    for (Client *client : std::as_const(m_clients))
        client->tcp->disconnect(this);
    qDeleteAll(m_clients);
}

void FakeTradeServer::listen()
{
    if (!m_server->listen(QHostAddress::LocalHost, m_port))
        qWarning("FakeTradeServer: cannot listen on port %u", m_port);
    m_port = m_server->serverPort();
}

void FakeTradeServer::send(const QJsonObject &object)
{
    for (Client *client : std::as_const(m_clients)) {
        if (!m_silent && client->open)
            write(client->tcp, 0x1, compact(object));
    }
}

void FakeTradeServer::dropClients()
{
    for (Client *client : QList<Client *>(m_clients))
        client->tcp->abort();
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

bool FakeTradeServer::handshake(Client *client)
{
    const int end = client->buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    const auto key = QRegularExpression(QStringLiteral("Sec-WebSocket-Key: *(\\S+)"), QRegularExpression::CaseInsensitiveOption)
                         .match(QString::fromLatin1(client->buffer.left(end))).captured(1).toLatin1();
    client->buffer.remove(0, end + 4);
    QByteArray accept = QCryptographicHash::hash(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11", QCryptographicHash::Sha1).toBase64();
    if (m_brokenHandshake)
        accept = "d3JvbmcgYWNjZXB0IGtleQ==";
    client->tcp->write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: "
                       + accept + "\r\n\r\n");
    if (m_brokenHandshake) {
        auto sent = std::make_shared<int>(0);
        connect(client->tcp, &QTcpSocket::bytesWritten, this, [tcp = client->tcp, sent] {
            if (tcp->bytesToWrite() < (1 << 20) && ++*sent < 4096)
                tcp->write(QByteArray(1 << 16, 'x'));
        });
        return false;
    }
    client->open = true;
    emit clientConnected();
    return true;
}

void FakeTradeServer::read(Client *client)
{
    QByteArray &buffer = client->buffer;
    buffer += client->tcp->readAll();
    if (!client->open && !handshake(client))
        return;
    // Client frames: FIN/opcode, mask bit and length, extended length, mask key. The
    // terminal sends every text in one frame.
    while (buffer.size() >= 2) {
        const auto *bytes = reinterpret_cast<const uchar *>(buffer.constData());
        const int opcode = bytes[0] & 0x0F;
        quint64 length = bytes[1] & 0x7F;
        const int lengthBytes = length == 126 ? 2 : length == 127 ? 8 : 0;
        const int header = 2 + lengthBytes + 4;
        if (buffer.size() < header)
            return;
        if (lengthBytes)
            length = lengthBytes == 2 ? qFromBigEndian<quint16>(bytes + 2) : qFromBigEndian<quint64>(bytes + 2);
        if (quint64(buffer.size()) < header + length)
            return;
        QByteArray payload = buffer.mid(header, int(length));
        for (int i = 0; i < payload.size(); ++i)
            payload[i] = char(payload.at(i) ^ bytes[header - 4 + i % 4]);
        buffer.remove(0, header + int(length));
        if (opcode == 0x1) {
            onText(client, QString::fromUtf8(payload));
        } else if (opcode == 0x9) {
            emit pingReceived();
            if (!m_silent)
                write(client->tcp, 0xA, payload);
        } else if (opcode == 0x8) {
            m_closeCodes.append(payload.size() >= 2 ? qFromBigEndian<quint16>(payload.constData()) : 1005);
            if (!m_silent) {
                write(client->tcp, 0x8, payload.left(2));
                client->tcp->disconnectFromHost(); // may delete the client at once
            }
            return;
        }
    }
}

void FakeTradeServer::onText(Client *client, const QString &text)
{
    m_texts.append(text);
    const QJsonObject request = QJsonDocument::fromJson(text.toUtf8()).object();
    const int reqCode = request.value(QLatin1String("req_code")).toInt();
    if (m_silent)
        return;
    if (reqCode == 1 && m_loginMode == LoginMode::Reject) {
        write(client->tcp, 0x1, compact({{"res_code", 1}, {"state", 0}}));
        return;
    }
    if (reqCode == 1) {
        write(client->tcp, 0x1, compact({{"res_code", 1}, {"state", 1},
            {"is_investor_password", m_loginMode == LoginMode::ReadOnly}, {"timezone", m_timeZone},
            {"login", request.value(QLatin1String("id"))}, {"name", "Test Client"}, {"group", "demo"}}));
    }
    for (const QJsonObject &reply : m_replies.value(reqCode))
        write(client->tcp, 0x1, compact(reply));
}

void FakeTradeServer::write(QTcpSocket *tcp, int opcode, const QByteArray &payload)
{
    // Server frames are unmasked.
    QByteArray frame(1, char(0x80 | opcode));
    const auto size = quint64(payload.size());
    if (size < 126) {
        frame += char(size);
    } else if (size < 65536) {
        frame += char(126);
        frame += char(size >> 8);
        frame += char(size);
    } else {
        frame += char(127);
        for (int shift = 56; shift >= 0; shift -= 8)
            frame += char(size >> shift);
    }
    tcp->write(frame + payload);
}

void FakeTradeServer::streamTicks(int count, int symbolCount)
{
    m_streamTexts.clear();
    for (int i = 0; i < symbolCount; ++i) {
        QJsonObject object = tick(QStringLiteral("SYM%1").arg(i, 3, 10, QLatin1Char('0')), 1.08512 + i, 1.08527 + i);
        object.insert(QStringLiteral("tm_ms"), QStringLiteral("@SEQ@"));
        m_streamTexts.append(QString::fromUtf8(compact(object)));
    }
    m_streamLeft = count;
    m_streamIndex = 0;
    streamSome();
}

void FakeTradeServer::streamSome()
{
    QTcpSocket *target = nullptr;
    for (Client *client : std::as_const(m_clients)) {
        if (client->open && !m_silent && !target)
            target = client->tcp;
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
    connect(target, &QTcpSocket::bytesWritten, this, &FakeTradeServer::streamSome, Qt::UniqueConnection);
    while (m_streamLeft > 0 && target->bytesToWrite() < (1 << 20)) {
        QString text = m_streamTexts.at(m_streamIndex % m_streamTexts.size());
        write(target, 0x1, text.replace(QLatin1String("\"@SEQ@\""), QString::number(m_streamIndex)).toUtf8());
        ++m_streamIndex;
        --m_streamLeft;
    }
    if (m_streamLeft == 0)
        QTimer::singleShot(0, this, &FakeTradeServer::streamSome);
}
