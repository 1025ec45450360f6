// The WebSocket side: accepts terminal connections, hands their requests to the
// desk, pushes account changes to every connection of the account and broadcasts
// the ticks of the simulated market. No client can take more than its share: each
// has a request budget, a bound on what waits to be sent to it and a keep-alive,
// and logins of one account, or connections that never log in, have places of
// their own that give way oldest first.
#pragma once

#include "desk.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QQueue>
#include <functional>

class QIODevice;
class QTcpServer;
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
    // What the kernel may hold for a peer on top of what we count as unsent.
    static constexpr int socketSendBufferBytes = 128 * 1024;

    explicit TradeServer(Desk *desk, QObject *parent = nullptr);
    ~TradeServer() override;

    bool listen(const QHostAddress &address, quint16 port);
    quint16 port() const;
    QString errorString() const;
    int connectionCount() const { return m_connections.size(); }
    // Every request handled from now on goes to device as one JSON line, passwords left out.
    void setRecord(QIODevice *device) { m_record = device; }
    // Milliseconds since the epoch for budgets, time-outs and prices; the system clock by default.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }

private:
    struct Connection
    {
        QWebSocket *socket = nullptr;
        SessionState state;
        quint64 arrival = 0; // order of arrival: who has been here longest
        qint64 openedMs = 0;
        qint64 heardMs = 0; // the last pong: only a peer that reads can answer a ping
        double budget = requestBurst;
        qint64 budgetMs = 0;
        QQueue<QString> waiting; // read only when its turn comes
        QJsonObject next;        // the first waiting request once read
        bool nextRead = false;
        bool queued = false; // in the turn of connections with requests to handle
    };

    void onTcpConnection();
    void onNewConnection();
    void onText(QWebSocket *socket, const QString &text);
    void onTimer();
    // Runs the round of ticks once it is due, from whichever event comes first: a loop
    // busy with many small events reaches its timer late. Called only where no
    // connection is held by reference.
    void tickIfDue();
    void tick();
    void onKeepAlive();
    // Puts a connection with waiting requests in the turn, and the turn in motion.
    void ready(QWebSocket *socket);
    // Handles waiting requests in turn while the budget and the backlog allow.
    void pump();
    void handle(QWebSocket *socket, QJsonObject request);
    // Makes room for a connection that just logged in; false when there is none.
    bool admit(QWebSocket *socket);
    double budget(Connection &connection) const; // refilled up to now
    // Keeps what a logged-in connection that goes has left of its budget for the
    // account's next login: reconnecting does not buy a fresh burst.
    void leave(Connection &connection);
    void pushAccounts(const QSet<qint64> &logins);
    void send(QWebSocket *socket, const QJsonObject &message);
    // The longest-open connection of the account (0: of those not logged in), or null.
    QWebSocket *oldest(qint64 login, const QWebSocket *except) const;
    void drop(QWebSocket *socket);
    void kick(QWebSocket *socket);
    void retire(QWebSocket *socket, const QString &why);
    qint64 now() const;
    // Whether a request of this cost, if as slow as the slowest of its kind lately,
    // ends before the next round of ticks is due.
    bool fitsBeforeTicks(double cost) const;

    Desk *m_desk;
    QTcpServer *m_listener;
    QWebSocketServer *m_server;
    QTimer *m_timer;
    QTimer *m_keepAlive;
    QHash<QWebSocket *, Connection> m_connections;
    QQueue<QWebSocket *> m_ready;
    struct Leftover
    {
        double budget = 0.0;
        qint64 ms = 0;
    };
    QHash<qint64, Leftover> m_leftovers; // by account, so bounded by the accounts
    bool m_pumping = false;
    bool m_servedSinceTicks = false;
    bool m_ticking = false;
    QElapsedTimer m_steady;
    qint64 m_ticksDueNs = 0;        // on m_steady: every tickIntervalMs from listen()
    qint64 m_slowestNs[2] = {0, 0}; // light and heavy requests, fading
    quint64 m_arrivals = 0;
    QIODevice *m_record = nullptr;
    std::function<qint64()> m_clock;
};

} // namespace tradeserver
