// The WebSocket side: accepts terminal connections, hands their requests to the
// desk, pushes account changes to every connection of the account and broadcasts
// the ticks of the simulated market. No client can take more than its share: each
// has a request budget, a bound on what waits to be sent to it and a keep-alive,
// and logins of one account, or connections that never log in, have places of
// their own that give way oldest first.
#pragma once

#include "desk.h"

#include <QHostAddress>
#include <QObject>
#include <QQueue>

class QIODevice;
class QTimer;
class QWebSocket;
class QWebSocketServer;

namespace tradeserver {

class TradeServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxSessions = 128;          // logged-in connections
    static constexpr int maxSessionsPerAccount = 8;  // the account's oldest gives way
    static constexpr int maxPendingConnections = 32; // not logged in yet; the oldest gives way
    static constexpr int maxMessageBytes = 64 * 1024;
    // Past this much unsent data a connection gets no ticks and its requests wait.
    static constexpr qint64 busyBacklogBytes = 1024 * 1024;
    static constexpr qint64 maxBacklogBytes = 4 * 1024 * 1024; // past this it is dropped
    static constexpr int maxWaitingRequests = 64;              // and past this many waiting
    // Request budget: a burst, refilled at a steady rate; chart and history replies cost more.
    static constexpr double requestBurst = 200.0;
    static constexpr double requestRefillPerSecond = 20.0;
    static constexpr double heavyRequestCost = 10.0;
    static constexpr int maxFailedLogins = 5;
    static constexpr int loginTimeoutMs = 10000;
    static constexpr int pingAfterMs = 3000;
    static constexpr int silenceLimitMs = 10000; // no pong for this long and the peer is gone
    static constexpr int tickIntervalMs = 100;

    explicit TradeServer(Desk *desk, QObject *parent = nullptr);
    ~TradeServer() override;

    bool listen(const QHostAddress &address, quint16 port);
    quint16 port() const;
    QString errorString() const;
    int connectionCount() const { return m_connections.size(); }
    // Every request handled from now on goes to device as one JSON line, passwords left out.
    void setRecord(QIODevice *device) { m_record = device; }

private:
    struct Connection
    {
        QWebSocket *socket = nullptr;
        SessionState state;
        qint64 openedMs = 0;
        qint64 heardMs = 0; // the last pong: only a peer that reads can answer a ping
        double budget = requestBurst;
        qint64 budgetMs = 0;
        QQueue<QString> waiting; // read only when its turn comes
        QJsonObject next;        // the first waiting request once read
        bool nextRead = false;
        bool queued = false; // in the turn of connections with requests to handle
    };

    void onNewConnection();
    void onText(QWebSocket *socket, const QString &text);
    void onTimer();
    void onKeepAlive();
    // Puts a connection with waiting requests in the turn, and the turn in motion.
    void ready(QWebSocket *socket);
    // Handles waiting requests in turn while the budget and the backlog allow.
    void pump();
    void handle(QWebSocket *socket, QJsonObject request);
    // Makes room for a connection that just logged in; false when there is none.
    bool admit(QWebSocket *socket);
    double budget(Connection &connection) const; // refilled up to now
    void pushAccounts(const QSet<qint64> &logins);
    void send(QWebSocket *socket, const QJsonObject &message);
    // The longest-open connection of the account (0: of those not logged in), or null.
    QWebSocket *oldest(qint64 login, const QWebSocket *except) const;
    void drop(QWebSocket *socket);
    void kick(QWebSocket *socket);
    void retire(QWebSocket *socket, const QString &why);
    qint64 now() const;

    Desk *m_desk;
    QWebSocketServer *m_server;
    QTimer *m_timer;
    QTimer *m_keepAlive;
    QHash<QWebSocket *, Connection> m_connections;
    QQueue<QWebSocket *> m_ready;
    bool m_pumping = false;
    QIODevice *m_record = nullptr;
};

} // namespace tradeserver
