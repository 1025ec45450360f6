// The WebSocket side: accepts terminal connections, hands their requests to the
// desk, pushes account changes to every connection of the account and broadcasts
// the ticks of the simulated market.
#pragma once

#include "desk.h"

#include <QHostAddress>
#include <QObject>

class QIODevice;
class QTimer;
class QWebSocket;
class QWebSocketServer;

namespace tradeserver {

class TradeServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxConnections = 64;
    static constexpr int maxMessageBytes = 64 * 1024;
    static constexpr qint64 maxBacklogBytes = 2 * 1024 * 1024; // ticks wait no longer
    static constexpr int maxFailedLogins = 5;
    static constexpr int loginTimeoutMs = 30000;
    static constexpr int tickIntervalMs = 100;

    explicit TradeServer(Desk *desk, QObject *parent = nullptr);
    ~TradeServer() override;

    bool listen(const QHostAddress &address, quint16 port);
    quint16 port() const;
    QString errorString() const;
    // Every request handled from now on goes to device as one JSON line, passwords left out.
    void setRecord(QIODevice *device) { m_record = device; }

private:
    struct Connection
    {
        QWebSocket *socket = nullptr;
        SessionState state;
    };

    void onNewConnection();
    void onText(QWebSocket *socket, const QString &text);
    void onTimer();
    void pushAccounts(const QSet<qint64> &logins);
    void send(QWebSocket *socket, const QJsonObject &message);
    void drop(QWebSocket *socket);

    Desk *m_desk;
    QWebSocketServer *m_server;
    QTimer *m_timer;
    QHash<QWebSocket *, Connection> m_connections;
    QIODevice *m_record = nullptr;
};

} // namespace tradeserver
