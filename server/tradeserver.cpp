#include "tradeserver.h"

#include <QDateTime>
#include <QIODevice>
#include <QJsonDocument>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

namespace tradeserver {

TradeServer::TradeServer(Desk *desk, QObject *parent)
    : QObject(parent)
    , m_desk(desk)
    , m_server(new QWebSocketServer(QStringLiteral("kestral-server"), QWebSocketServer::NonSecureMode, this))
    , m_timer(new QTimer(this))
{
    m_server->setMaxPendingConnections(maxConnections);
    connect(m_server, &QWebSocketServer::newConnection, this, &TradeServer::onNewConnection);
    connect(m_timer, &QTimer::timeout, this, &TradeServer::onTimer);
}

TradeServer::~TradeServer()
{
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        it.key()->disconnect(this);
        it.key()->abort();
        delete it.key();
    }
}

bool TradeServer::listen(const QHostAddress &address, quint16 port)
{
    if (!m_server->listen(address, port))
        return false;
    m_timer->start(tickIntervalMs);
    return true;
}

quint16 TradeServer::port() const
{
    return m_server->serverPort();
}

QString TradeServer::errorString() const
{
    return m_server->errorString();
}

void TradeServer::onNewConnection()
{
    while (QWebSocket *socket = m_server->nextPendingConnection()) {
        if (m_connections.size() >= maxConnections) {
            socket->close(QWebSocketProtocol::CloseCodeTooMuchData, QStringLiteral("Too many connections"));
            socket->deleteLater();
            continue;
        }
        socket->setMaxAllowedIncomingMessageSize(maxMessageBytes);
        socket->setMaxAllowedIncomingFrameSize(maxMessageBytes);
        m_connections.insert(socket, Connection{socket, {}});
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, socket](const QString &text) { onText(socket, text); });
        // Queued: a write may report the disconnection at once, while the connection
        // table is being walked.
        connect(
            socket, &QWebSocket::disconnected, this, [this, socket] { drop(socket); }, Qt::QueuedConnection);
        // A connection that never logs in does not hold a place for long.
        QTimer::singleShot(loginTimeoutMs, socket, [this, socket] {
            const auto it = m_connections.constFind(socket);
            if (it != m_connections.constEnd() && it->state.login == 0)
                socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("No login"));
        });
    }
}

void TradeServer::onText(QWebSocket *socket, const QString &text)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    QJsonObject request = QJsonDocument::fromJson(text.toUtf8()).object();
    QSet<qint64> changed;
    const QList<QJsonObject> replies = m_desk->handle(it->state, request, &changed);
    const bool refused = it->state.failedLogins >= maxFailedLogins;
    if (m_record) {
        request.remove(QLatin1String("password"));
        m_record->write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    }
    for (const QJsonObject &reply : replies)
        send(socket, reply);
    if (refused) {
        socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("Too many failed logins"));
        return;
    }
    pushAccounts(changed);
}

void TradeServer::onTimer()
{
    QSet<qint64> changed;
    const QList<QJsonObject> ticks = m_desk->advance(QDateTime::currentMSecsSinceEpoch(), &changed);
    QStringList texts;
    texts.reserve(ticks.size());
    for (const QJsonObject &tick : ticks)
        texts.append(QString::fromUtf8(QJsonDocument(tick).toJson(QJsonDocument::Compact)));
    for (const Connection &connection : std::as_const(m_connections)) {
        // A reader that falls behind misses ticks rather than growing our memory.
        if (connection.state.login == 0 || connection.socket->bytesToWrite() > maxBacklogBytes)
            continue;
        for (const QString &text : std::as_const(texts))
            connection.socket->sendTextMessage(text);
    }
    pushAccounts(changed);
}

void TradeServer::pushAccounts(const QSet<qint64> &logins)
{
    for (qint64 login : logins) {
        const QList<QJsonObject> state = m_desk->accountState(login);
        for (const Connection &connection : std::as_const(m_connections)) {
            if (connection.state.login != login)
                continue;
            for (const QJsonObject &message : state)
                send(connection.socket, message);
        }
    }
}

void TradeServer::send(QWebSocket *socket, const QJsonObject &message)
{
    socket->sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
}

void TradeServer::drop(QWebSocket *socket)
{
    if (m_connections.remove(socket) > 0)
        socket->deleteLater();
}

} // namespace tradeserver
