// A trade server for tests: a WebSocket server on 127.0.0.1 with an OS-chosen port
// that records every frame it receives, answers login frames, sends scripted replies
// and misbehaves on request. The WebSocket layer does the handshake and the writing;
// client frames are read here, so that pings are counted and a silent server really
// leaves them unanswered. Lives in, and is driven by, the thread that creates it.
//
// Typical use:
//     FakeTradeServer server;
//     server.setLoginReply(FakeTradeServer::LoginMode::Accept, "+03:00");
//     server.setReplies(1, {symbolList});          // pushed after each accepted login
//     client.connectToServer(server.url().toString(), 1001, "pw", "Demo");
//     QTRY_COMPARE(server.requests(1).size(), 1);
//     server.send(FakeTradeServer::tick("EURUSD", 1.1, 1.2));
#pragma once

#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

class QTcpServer;
class QTcpSocket;
class QWebSocket;
class QWebSocketServer;

class FakeTradeServer : public QObject
{
    Q_OBJECT

public:
    enum class LoginMode {
        Accept,   // "state" 1, main password
        ReadOnly, // "state" 1, "is_investor_password" true
        Reject,   // "state" 0
        Ignore,   // no answer at all
    };
    Q_ENUM(LoginMode)

    explicit FakeTradeServer(QObject *parent = nullptr);
    ~FakeTradeServer() override;

    // The port stays the same for the server's life, also across setRefusing().
    QUrl url() const { return QUrl(QStringLiteral("ws://") + address()); }
    // "127.0.0.1:<port>", the form of a broker-list server address.
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

    // How each login frame (req_code 1) is answered; the zone goes into "timezone".
    void setLoginReply(LoginMode mode, const QString &timeZone = QString())
    {
        m_loginMode = mode;
        m_timeZone = timeZone;
    }
    // Sent, in order, after every request of this code; for code 1 only after an
    // accepted login, right behind the login answer.
    void setReplies(int reqCode, const QList<QJsonObject> &replies) { m_replies.insert(reqCode, replies); }

    // To every connected client, unless silent.
    void send(const QJsonObject &object);
    void sendText(const QString &text);
    // A silent server answers nothing (no pong, no login answer, no scripted reply,
    // no closing frame) and sends nothing; frames are still recorded. Applies to open
    // connections and to later ones.
    void setSilent(bool silent) { m_silent = silent; }
    // Aborts every connection without a closing handshake.
    void dropClients();
    // Stops listening, so connection attempts are refused; false listens again.
    void setRefusing(bool refusing);
    // Sends `count` ticks cycling over `symbolCount` symbols as fast as the first
    // client's socket takes them ("tm_ms" carries the sequence number); emits
    // streamFinished() when all are handed over or no client is left.
    void streamTicks(int count, int symbolCount);

    int clientCount() const { return m_clients.size(); }
    int connectionCount() const { return m_connectionCount; }
    // Every text frame received, in order, across all connections.
    QStringList receivedTexts() const { return m_texts; }
    // The received frames that are JSON objects with this "req_code".
    QList<QJsonObject> requests(int reqCode) const;
    // The codes of the closing frames received, in order.
    QList<int> closeCodes() const { return m_closeCodes; }

    static QJsonObject tick(const QString &symbol, double bid, double ask);

signals:
    void clientConnected();
    void pingReceived();
    void closeReceived(int code);
    void streamFinished();

private:
    struct Client
    {
        QPointer<QWebSocket> socket;
        QPointer<QTcpSocket> tcp;
        QByteArray buffer;
    };

    void listen();
    void onWebSocketConnection();
    void onText(Client *client, const QString &text);
    void readFrames(Client *client);
    void writeControl(Client *client, int opcode, const QByteArray &payload);
    void removeClient(QWebSocket *socket);
    void streamSome();

    QTcpServer *m_tcpServer = nullptr;
    QWebSocketServer *m_wsServer = nullptr;
    quint16 m_port = 0;
    QMap<quint16, QPointer<QTcpSocket>> m_handshaking; // by peer port
    QList<Client *> m_clients;
    LoginMode m_loginMode = LoginMode::Accept;
    QString m_timeZone;
    QMap<int, QList<QJsonObject>> m_replies;
    bool m_silent = false;
    int m_connectionCount = 0;
    QStringList m_texts;
    QList<int> m_closeCodes;
    QStringList m_streamTexts;
    int m_streamLeft = 0;
    int m_streamIndex = 0;
};
