// A trade server for tests on 127.0.0.1 with an OS-chosen port. It speaks just enough
// WebSocket itself to record every frame, count pings, answer login frames, send
// scripted replies, and misbehave on request. Lives in the thread that creates it.
#pragma once

#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QUrl>

class QTcpServer;
class QTcpSocket;

class FakeTradeServer : public QObject
{
    Q_OBJECT

public:
    enum class LoginMode {
        Accept,   // "state" 1, main password
        ReadOnly, // "state" 1, "is_investor_password" true
        Reject,   // "state" 0
    };
    Q_ENUM(LoginMode)

    explicit FakeTradeServer(QObject *parent = nullptr);

    // The port stays the same for the server's life, also across setRefusing().
    QUrl url() const { return QUrl(QStringLiteral("ws://") + address()); }
    // "127.0.0.1:<port>", the form of a broker-list server address.
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    void setLoginReply(LoginMode mode, const QString &timeZone = QString())
    {
        m_loginMode = mode;
        m_timeZone = timeZone;
    }
    // Keys put into, or over, every accepted login's reply.
    void setLoginReplyKeys(const QJsonObject &keys) { m_loginKeys = keys; }
    // Sent in order after every request of this code; for code 1 only after an accepted login.
    void setReplies(int reqCode, const QList<QJsonObject> &replies) { m_replies.insert(reqCode, replies); }
    void send(const QJsonObject &object);
    // A silent server answers nothing (no pong, login answer, reply or closing frame).
    void setSilent(bool silent) { m_silent = silent; }
    // Answers the upgrade with a wrong accept key, then sends 1 MiB of garbage.
    void setBrokenHandshake(bool broken) { m_brokenHandshake = broken; }
    // The header of a text frame of `length` bytes, without any of its payload.
    void sendFrameHeader(quint64 length);
    void dropClients();
    // Blocks until everything sent is handed to the system, events unprocessed meanwhile.
    void flush();
    void setRefusing(bool refusing);

    // Connected peers, with or without a completed handshake.
    int clientCount() const { return m_clients.size(); }
    // Connections accepted over the server's life.
    int connectionCount() const { return m_connectionCount; }
    QStringList receivedTexts() const { return m_texts; }
    QList<QJsonObject> requests(int reqCode) const;
    QList<int> closeCodes() const { return m_closeCodes; }

    static QJsonObject tick(const QString &symbol, double bid, double ask);

signals:
    void clientConnected();
    void pingReceived();

protected:
    void listen();
    void read(QTcpSocket *tcp);
    bool handshake(QTcpSocket *tcp);
    void onText(QTcpSocket *tcp, const QString &text);
    void sendText(QTcpSocket *tcp, const QJsonObject &object);
    void write(QTcpSocket *tcp, int opcode, const QByteArray &payload);
    static QByteArray frameHeader(int opcode, quint64 size);

    QTcpServer *m_server = nullptr;
    quint16 m_port = 0;
    QList<QTcpSocket *> m_clients;
    int m_connectionCount = 0;
    LoginMode m_loginMode = LoginMode::Accept;
    QString m_timeZone;
    QJsonObject m_loginKeys;
    QMap<int, QList<QJsonObject>> m_replies;
    bool m_silent = false;
    bool m_brokenHandshake = false;
    QStringList m_texts;
    QList<int> m_closeCodes;
};
