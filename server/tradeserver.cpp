#include "tradeserver.h"

#include "protocol.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QIODevice>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

namespace tradeserver {

namespace {

constexpr int keepAliveSweepMs = 1000;
constexpr int handshakeTimeoutMs = 5000;
constexpr int closingGraceMs = 2000;
constexpr int workSliceMs = 3;
// Room left before a round of ticks for what else the loop has to do.
constexpr qint64 tickMarginNs = 1500000;
constexpr qint64 tickIntervalNs = qint64(TradeServer::tickIntervalMs) * 1000000;

// Chart and trade-history replies are the large ones.
double costOf(const QJsonObject &request)
{
    const qint64 code = protocol::integer(request.value(QLatin1String("req_code")));
    return code == 3 || code == 5 ? TradeServer::heavyRequestCost : 1.0;
}

double refilled(double budget, qint64 fromMs, qint64 toMs)
{
    return std::min(TradeServer::requestBurst,
                    budget + double(toMs - fromMs) * TradeServer::requestRefillPerSecond / 1000.0);
}

int kindOf(double cost)
{
    return cost > 1.0 ? 1 : 0;
}

} // namespace

TradeServer::TradeServer(Desk *desk, QObject *parent)
    : QObject(parent)
    , m_desk(desk)
    , m_listener(new QTcpServer(this))
    , m_server(new QWebSocketServer(QStringLiteral("kestral-server"), QWebSocketServer::NonSecureMode, this))
    , m_timer(new QTimer(this))
    , m_keepAlive(new QTimer(this))
{
    m_server->setMaxPendingConnections(maxPendingConnections);
    m_server->setHandshakeTimeout(handshakeTimeoutMs);
    connect(m_listener, &QTcpServer::newConnection, this, &TradeServer::onTcpConnection);
    connect(m_server, &QWebSocketServer::newConnection, this, &TradeServer::onNewConnection);
    m_steady.start();
    connect(m_timer, &QTimer::timeout, this, &TradeServer::onTimer);
    connect(m_keepAlive, &QTimer::timeout, this, &TradeServer::onKeepAlive);
}

TradeServer::~TradeServer()
{
    // Every socket is a child, and goes with this object once cut off.
    for (QWebSocket *socket : findChildren<QWebSocket *>(QString(), Qt::FindDirectChildrenOnly)) {
        socket->disconnect(this);
        socket->abort();
    }
}

bool TradeServer::listen(const QHostAddress &address, quint16 port)
{
    if (!m_listener->listen(address, port))
        return false;
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setSingleShot(true);
    m_ticksDueNs = m_steady.nsecsElapsed() + tickIntervalNs;
    m_timer->start(tickIntervalMs);
    m_keepAlive->start(keepAliveSweepMs);
    return true;
}

quint16 TradeServer::port() const
{
    return m_listener->serverPort();
}

QString TradeServer::errorString() const
{
    return m_listener->errorString();
}

qint64 TradeServer::now() const
{
    return m_clock ? m_clock() : QDateTime::currentMSecsSinceEpoch();
}

void TradeServer::onTcpConnection()
{
    tickIfDue();
    while (QTcpSocket *socket = m_listener->nextPendingConnection()) {
        // The kernel would otherwise grow its own buffer for a peer that does not
        // read to megabytes, beyond the backlog we count and bound.
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, socketSendBufferBytes);
        m_server->handleConnection(socket);
    }
}

void TradeServer::onNewConnection()
{
    tickIfDue();
    while (QWebSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        int pending = 0;
        for (const Connection &connection : std::as_const(m_connections))
            pending += connection.state.login == 0 ? 1 : 0;
        // A newcomer logs in at once; whoever has waited longest without doing so gives way.
        if (pending >= maxPendingConnections)
            kick(oldest(0, nullptr));
        socket->setMaxAllowedIncomingMessageSize(maxMessageBytes);
        socket->setMaxAllowedIncomingFrameSize(maxMessageBytes);
        Connection connection;
        connection.socket = socket;
        connection.arrival = ++m_arrivals;
        connection.openedMs = connection.heardMs = connection.budgetMs = now();
        m_connections.insert(socket, connection);
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, socket](const QString &text) { onText(socket, text); });
        connect(socket, &QWebSocket::pong, this, [this, socket] {
            const auto it = m_connections.find(socket);
            if (it != m_connections.end())
                it->heardMs = now();
        });
        // What waits for a reader to catch up goes on as it reads.
        connect(socket, &QWebSocket::bytesWritten, this, [this, socket] { ready(socket); });
        // Queued: a write may report the disconnection at once, while the connection
        // table is being walked.
        connect(
            socket, &QWebSocket::disconnected, this, [this, socket] { drop(socket); }, Qt::QueuedConnection);
    }
}

void TradeServer::onText(QWebSocket *socket, const QString &text)
{
    tickIfDue();
    const auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    if (it->waiting.size() >= maxWaitingRequests) {
        kick(socket);
        return;
    }
    it->waiting.enqueue(text);
    ready(socket);
}

double TradeServer::budget(Connection &connection) const
{
    const qint64 t = now();
    connection.budget = refilled(connection.budget, connection.budgetMs, t);
    connection.budgetMs = t;
    return connection.budget;
}

void TradeServer::leave(Connection &connection)
{
    const qint64 login = connection.state.login;
    if (login == 0)
        return;
    const double left = budget(connection);
    const auto it = m_leftovers.constFind(login);
    if (it == m_leftovers.constEnd() || left < refilled(it->budget, it->ms, connection.budgetMs))
        m_leftovers.insert(login, {left, connection.budgetMs});
}

void TradeServer::ready(QWebSocket *socket)
{
    const auto it = m_connections.find(socket);
    if (it == m_connections.end() || it->waiting.isEmpty() || it->queued)
        return;
    it->queued = true;
    m_ready.enqueue(socket);
    if (!m_pumping) {
        m_pumping = true;
        QTimer::singleShot(0, this, &TradeServer::pump);
    }
}

void TradeServer::pump()
{
    // One request per connection in turn, for a slice of time at most, so no client's
    // burst holds up the ticks or the others' requests.
    QElapsedTimer slice;
    slice.start();
    while (!m_ready.isEmpty() && slice.elapsed() < workSliceMs) {
        tickIfDue();
        QWebSocket *socket = m_ready.head();
        const auto it = m_connections.find(socket);
        if (it == m_connections.end()) { // gone while it waited its turn
            m_ready.dequeue();
            continue;
        }
        // Behind: its writes bring it back; out of budget: the tick timer does.
        if (it->waiting.isEmpty() || socket->bytesToWrite() > busyBacklogBytes) {
            m_ready.dequeue();
            it->queued = false;
            continue;
        }
        if (!it->nextRead) {
            it->next = QJsonDocument::fromJson(it->waiting.head().toUtf8()).object();
            it->nextRead = true;
        }
        const double cost = costOf(it->next);
        if (budget(*it) < cost) {
            m_ready.dequeue();
            it->queued = false;
            continue;
        }
        // Ticks keep their beat: what would run into the next round waits for it.
        if (!fitsBeforeTicks(cost)) {
            m_pumping = false; // the round of ticks sets it going again
            return;
        }
        m_ready.dequeue();
        it->queued = false;
        it->budget -= cost;
        it->waiting.dequeue();
        it->nextRead = false;
        const qint64 started = m_steady.nsecsElapsed();
        handle(socket, std::move(it->next));
        qint64 &slowest = m_slowestNs[kindOf(cost)];
        slowest = std::max(m_steady.nsecsElapsed() - started, slowest - slowest / 16);
        m_servedSinceTicks = true;
        ready(socket);
    }
    m_pumping = !m_ready.isEmpty();
    if (m_pumping)
        QTimer::singleShot(0, this, &TradeServer::pump);
}

bool TradeServer::fitsBeforeTicks(double cost) const
{
    // One request a round at least, or a server too slow for its beat would serve none.
    if (!m_servedSinceTicks)
        return true;
    return m_steady.nsecsElapsed() + m_slowestNs[kindOf(cost)] + tickMarginNs < m_ticksDueNs;
}

void TradeServer::handle(QWebSocket *socket, QJsonObject request)
{
    Connection &connection = m_connections[socket];
    const qint64 before = connection.state.login;
    QSet<qint64> changed;
    const QList<QJsonObject> replies = m_desk->handle(connection.state, request, &changed);
    if (m_record) {
        request.remove(QLatin1String("password"));
        m_record->write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    }
    if (connection.state.login != before) {
        if (!admit(socket))
            return;
        const auto left = m_leftovers.constFind(connection.state.login);
        if (left != m_leftovers.constEnd())
            connection.budget = std::min(budget(connection), refilled(left->budget, left->ms, now()));
    }
    for (const QJsonObject &reply : replies)
        send(socket, reply);
    if (connection.state.failedLogins >= maxFailedLogins) {
        retire(socket, QStringLiteral("Too many failed logins"));
        return;
    }
    if (socket->bytesToWrite() > maxBacklogBytes) {
        kick(socket);
        return;
    }
    pushAccounts(changed);
}

bool TradeServer::admit(QWebSocket *socket)
{
    const qint64 login = m_connections.value(socket).state.login;
    QHash<qint64, int> sessions;
    for (const Connection &connection : std::as_const(m_connections)) {
        if (connection.socket != socket && connection.state.login != 0)
            ++sessions[connection.state.login];
    }
    const int own = sessions.value(login);
    if (own >= maxSessionsPerAccount) {
        kick(oldest(login, socket));
        return true;
    }
    int total = 0;
    qint64 largest = 0;
    for (auto it = sessions.constBegin(); it != sessions.constEnd(); ++it) {
        total += it.value();
        if (largest == 0 || it.value() > sessions.value(largest))
            largest = it.key();
    }
    if (total < maxSessions)
        return true;
    // Full: the account with the most places gives one up, if that leaves it more than this one.
    if (sessions.value(largest) > own + 1) {
        kick(oldest(largest, socket));
        return true;
    }
    retire(socket, QStringLiteral("Server full"));
    return false;
}

void TradeServer::onTimer()
{
    tickIfDue();
    // Rounded up: a timer never fires early, so the round is due when it fires.
    const qint64 wait = m_ticksDueNs - m_steady.nsecsElapsed();
    m_timer->start(int(std::max<qint64>(0, (wait + 999999) / 1000000)));
}

void TradeServer::tickIfDue()
{
    const qint64 t = m_steady.nsecsElapsed();
    if (m_ticking || t < m_ticksDueNs)
        return;
    // A round missed altogether is skipped, and the beat keeps its phase.
    m_ticksDueNs += ((t - m_ticksDueNs) / tickIntervalNs + 1) * tickIntervalNs;
    m_ticking = true;
    tick();
    m_ticking = false;
    m_servedSinceTicks = false;
}

void TradeServer::tick()
{
    QSet<qint64> changed;
    const QList<QJsonObject> ticks = m_desk->advance(now(), &changed);
    QStringList texts;
    texts.reserve(ticks.size());
    for (const QJsonObject &tick : ticks)
        texts.append(QString::fromUtf8(QJsonDocument(tick).toJson(QJsonDocument::Compact)));
    // A reader that falls behind misses ticks rather than growing our memory, and
    // clients within their request budget hear first, so a flood delays only its own.
    QVector<QWebSocket *> first;
    QVector<QWebSocket *> later;
    for (Connection &connection : m_connections) {
        if (connection.state.login == 0 || connection.socket->bytesToWrite() > busyBacklogBytes)
            continue;
        const bool quiet = connection.waiting.isEmpty() && budget(connection) >= requestBurst / 2;
        (quiet ? first : later).append(connection.socket);
    }
    if (!texts.isEmpty()) {
        for (QWebSocket *socket : std::as_const(first)) {
            for (const QString &text : std::as_const(texts))
                socket->sendTextMessage(text);
            socket->flush();
        }
        for (QWebSocket *socket : std::as_const(later)) {
            for (const QString &text : std::as_const(texts))
                socket->sendTextMessage(text);
        }
    }
    pushAccounts(changed);
    for (QWebSocket *socket : std::as_const(later))
        ready(socket);
    if (!m_pumping && !m_ready.isEmpty()) {
        m_pumping = true;
        QTimer::singleShot(0, this, &TradeServer::pump);
    }
}

void TradeServer::onKeepAlive()
{
    const qint64 t = now();
    QList<QWebSocket *> silent;
    for (const Connection &connection : std::as_const(m_connections)) {
        if ((connection.state.login == 0 && t - connection.openedMs > loginTimeoutMs) ||
            t - connection.heardMs > silenceLimitMs)
            silent.append(connection.socket);
        else if (t - connection.heardMs >= pingAfterMs)
            connection.socket->ping();
    }
    for (QWebSocket *socket : std::as_const(silent))
        kick(socket);
}

void TradeServer::pushAccounts(const QSet<qint64> &logins)
{
    QList<QWebSocket *> behind;
    for (qint64 login : logins) {
        const QList<QJsonObject> state = m_desk->accountState(login);
        for (const Connection &connection : std::as_const(m_connections)) {
            if (connection.state.login != login)
                continue;
            for (const QJsonObject &message : state)
                send(connection.socket, message);
            if (connection.socket->bytesToWrite() > maxBacklogBytes)
                behind.append(connection.socket);
        }
    }
    for (QWebSocket *socket : std::as_const(behind))
        kick(socket);
}

void TradeServer::send(QWebSocket *socket, const QJsonObject &message)
{
    socket->sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
}

QWebSocket *TradeServer::oldest(qint64 login, const QWebSocket *except) const
{
    const Connection *found = nullptr;
    for (const Connection &connection : m_connections) {
        if (connection.state.login == login && connection.socket != except &&
            (!found || connection.arrival < found->arrival))
            found = &connection;
    }
    return found ? found->socket : nullptr;
}

void TradeServer::drop(QWebSocket *socket)
{
    const auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    leave(*it);
    m_connections.erase(it);
    socket->deleteLater();
}

void TradeServer::kick(QWebSocket *socket)
{
    const auto it = m_connections.find(socket);
    if (!socket || it == m_connections.end())
        return;
    leave(*it);
    m_connections.erase(it);
    socket->disconnect(this);
    // No closing handshake: a peer that does not read would hold it open.
    socket->abort();
    socket->deleteLater();
}

void TradeServer::retire(QWebSocket *socket, const QString &why)
{
    const auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    leave(*it);
    m_connections.erase(it);
    socket->disconnect(this);
    // The peer hears why, if it reads; one that does not is cut off soon after.
    socket->close(QWebSocketProtocol::CloseCodePolicyViolated, why);
    connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(closingGraceMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
}

} // namespace tradeserver
