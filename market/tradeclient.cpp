#include "tradeclient.h"

#include "tickreader.h"

#include "appglobals.h"
#include "diagnostics.h"
#include "jsonguard.h"
#include "logger.h"
#include "pricedatabuffer.h"
#include "servertime.h"
#include "tickdata.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QMetaEnum>
#include <QMutexLocker>
#include <QTimer>
#include <QWebSocket>
#include <algorithm>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <utility>
#include <vector>

namespace {

constexpr int pingIntervalMs = 3000;
constexpr int pongTimeoutMs = 1500;
constexpr int reconnectDelayMs = 3000;
constexpr int sendIntervalMs = 5;
constexpr quint64 maxIncomingBytes = 64 << 20;
// The longest the window spends on waiting replies before it looks at input again.
constexpr qint64 deliverySliceMs = 20;
// Replies this big are freed by the network thread once handled, and parsed one at a time.
constexpr qint64 bigReplyBytes = qint64(4) << 20;
// The longest a big text waits for the window to finish with the one before.
constexpr int bigReplyWaitMs = 500;
// How long after the last big reply was freed the memory it leaves is given back:
// longer than a server resending every second or two pauses between its replies, as
// that memory is used again for the next one.
constexpr qint64 trimQuietMs = 1500;
// A price tick is a few hundred characters. The fast tick reader keeps its buffers at
// the size of the largest text it saw, for the thread's life, so the big replies go
// straight to the general parser.
constexpr int maxTickTextLength = 4096;

// Every live client, so that a batcher going away can detach itself from all.
QMutex &registryMutex()
{
    static QMutex mutex;
    return mutex;
}

std::vector<TradeClient *> &registry()
{
    static std::vector<TradeClient *> clients;
    return clients;
}

void journal(const QString &title, const QString &message)
{
    Logger::instance()->log(title, message);
}

QString compact(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace

TradeClient::TradeClient(QObject *parent)
    : QThread(parent)
{
    qRegisterMetaType<QAbstractSocket::SocketError>();
    QMutexLocker locker(&registryMutex());
    registry().push_back(this);
}

TradeClient::~TradeClient()
{
    loggedIn = false;
    stopThread();
    QMutexLocker locker(&registryMutex());
    auto &clients = registry();
    clients.erase(std::remove(clients.begin(), clients.end(), this), clients.end());
}

void TradeClient::releasePriceBuffer(PriceDataBuffer *buffer)
{
    QMutexLocker registryLocker(&registryMutex());
    for (TradeClient *client : registry()) {
        QMutexLocker locker(&client->m_deliveryMutex);
        PriceDataBuffer *expected = buffer;
        client->priceBuffer.compare_exchange_strong(expected, nullptr);
    }
}

void TradeClient::stopThread()
{
    if (isRunning()) {
        quit();
        wait();
    }
}

bool TradeClient::connectToServer(const QString &newUrl, qint64 newLogin, const QString &newPassword,
                                  const QString &newServerName)
{
    const bool changed = url.toString() != newUrl || login != newLogin || password != newPassword
        || serverName != newServerName;
    if (!changed && loggedIn)
        return false;
    // Cleared before the old connection closes, so its closing schedules no reconnection.
    if (changed)
        loggedIn = false;
    // Stopped before the values change: the network thread never sees them half-written.
    stopThread();
    // Whatever a login reply handled while the old thread stopped set, the new
    // connection has not logged in yet.
    loggedIn = false;
    url = QUrl(newUrl);
    login = newLogin;
    password = newPassword;
    serverName = newServerName;
    journal(QStringLiteral("Terminal"), QStringLiteral("%1 try to connect to %2").arg(login).arg(serverName));
    start(QThread::InheritPriority);
    return changed;
}

void TradeClient::logout()
{
    loggedIn = false;
    stopThread();
    loggedIn = false; // a login reply handled while the thread stopped set it back
    journal(QStringLiteral("Terminal"), QStringLiteral("%1 Log out from %2").arg(login).arg(serverName));
}

void TradeClient::setPassword(const QString &newPassword)
{
    QMutexLocker locker(&m_passwordMutex);
    password = newPassword;
}

void TradeClient::sendRequest(const QJsonObject &request)
{
    if (login == 0)
        return;
    if (request.contains(QLatin1String("login"))) {
        enqueueMessage(compact(request));
        return;
    }
    QJsonObject withLogin = request;
    withLogin.insert(QStringLiteral("login"), QJsonValue(login));
    enqueueMessage(compact(withLogin));
}

void TradeClient::enqueueMessage(const QString &text)
{
    if (!isRunning() || text.isEmpty())
        return;
    QMutexLocker locker(&queueMutex);
    sendQueue.append(text);
}

void TradeClient::requestTradeHistory(int days)
{
    const auto range = tradeHistoryRange(days);
    QJsonObject request;
    request.insert(QStringLiteral("from"), static_cast<int>(range.first));
    request.insert(QStringLiteral("to"), static_cast<int>(range.second));
    request.insert(QStringLiteral("req_code"), 5);
    sendRequest(request);
}

QTimeZone TradeClient::timeZone() const
{
    QMutexLocker locker(&zoneMutex);
    return serverTimeZone;
}

QJsonObject TradeClient::parseMessage(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    if (jsonguard::dropsNestedValue(utf8)) {
        qCDebug(lcKestral) << "Repeated key with a nested value, message ignored";
        return {};
    }
    const QJsonDocument document = QJsonDocument::fromJson(utf8);
    if (document.isNull()) {
        qCDebug(lcKestral) << "Invalid JSON...\n" << text;
        return {};
    }
    if (!document.isObject()) {
        qCDebug(lcKestral) << "Document is not an object";
        return {};
    }
    return document.object();
}

void TradeClient::dispatchMessage(const QJsonObject &message)
{
    const int code = message.value(QLatin1String("res_code")).toInt();
    if (code == 2) {
        deliverTick(message);
        return;
    }
    if (code == 1)
        applyLoginReply(message);
    emitReply(code, message);
}

void TradeClient::emitReply(int code, const QJsonObject &message)
{
    switch (code) {
    case ReplyQueue::Connected:
        emit websocketConnected();
        break;
    case ReplyQueue::Disconnected:
        emit websocketDisconnected();
        break;
    case 1:
        if (message.value(QLatin1String("state")).toInt() == 0)
            emit loginFail();
        else
            emit loginSuccess(message);
        break;
    case 3:
        emit chartHistoryReceived(message);
        break;
    case 4:
        emit openPositionsReceived(message);
        break;
    case 5:
        emit tradeHistoryReceived(message);
        break;
    case 6:
        emit pendingOrdersReceived(message);
        break;
    case 7:
        emit tradeResponseReceived(message);
        break;
    case 8:
        emit symbolListReceived(message);
        break;
    default:
        break;
    }
}

void TradeClient::applyLoginReply(const QJsonObject &message)
{
    const int state = message.value(QLatin1String("state")).toInt();
    qCDebug(lcKestral) << "login state" << state;
    if (state == 0) {
        journal(QStringLiteral("Terminal"), QStringLiteral("%1 login failed to %2").arg(login).arg(serverName));
        return;
    }
    loggedIn = true;
    // Fails closed: only a missing flag or the boolean false allows trading.
    const QJsonValue investor = message.value(QLatin1String("is_investor_password"));
    readOnlyMode = !(investor.isUndefined() || investor == QJsonValue(false));
    journal(QStringLiteral("Terminal"), QStringLiteral("%1 login to %2 successfully ").arg(login).arg(serverName));
    const QTimeZone zone = parseServerTimeZone(message.value(QLatin1String("timezone")).toString());
    QMutexLocker locker(&zoneMutex);
    serverTimeZone = zone;
}

void TradeClient::post(ReplyQueue::Entry entry)
{
    bool dropped = false;
    bool schedule = false;
    {
        QMutexLocker locker(&m_waitingMutex);
        if (m_waiting.put(std::move(entry)))
            schedule = !std::exchange(m_deliveryPosted, true);
        else
            dropped = !std::exchange(m_overflowLogged, true);
    }
    if (dropped)
        journal(QStringLiteral("Network"),
                QStringLiteral("%1 sends replies faster than they can be shown; some are dropped").arg(serverName));
    if (schedule)
        QMetaObject::invokeMethod(this, [this] { deliverReplies(); }, Qt::QueuedConnection);
}

bool TradeClient::repliesWaiting() const
{
    QMutexLocker locker(&m_waitingMutex);
    return !m_waiting.isEmpty();
}

void TradeClient::deliverReplies()
{
    QElapsedTimer spent;
    spent.start();
    {
        QMutexLocker locker(&m_waitingMutex);
        m_deliveryPosted = false;
    }
    for (;;) {
        ReplyQueue::Entry entry;
        {
            QMutexLocker locker(&m_waitingMutex);
            if (!m_waiting.take(entry)) {
                m_overflowLogged = false;
                return;
            }
        }
        const bool big = entry.bytes >= bigReplyBytes;
        if (big) {
            QMutexLocker locker(&m_waitingMutex);
            m_handlingBig = true;
        }
        emitReply(entry.code, entry.reply);
        if (big) {
            QMutexLocker locker(&m_waitingMutex);
            m_handlingBig = false;
            if (isRunning())
                m_handled.push_back(std::move(entry.reply));
            m_bigReplyDone.wakeAll();
        }
        if (spent.elapsed() >= deliverySliceMs) {
            // Input, painting and timers (the tick batcher's, the charts') go first; the
            // rest follows on a later turn of the loop. A zero delay would be a posted
            // event, handled before any timer.
            QMutexLocker locker(&m_waitingMutex);
            if (!m_waiting.isEmpty() && !std::exchange(m_deliveryPosted, true))
                QTimer::singleShot(1, this, [this] { deliverReplies(); });
            return;
        }
    }
}

void TradeClient::awaitBigReplyHandled()
{
    {
        QDeadlineTimer deadline(bigReplyWaitMs);
        QMutexLocker locker(&m_waitingMutex);
        while ((m_handlingBig || m_waiting.bytes() >= bigReplyBytes) && !deadline.hasExpired())
            m_bigReplyDone.wait(&m_waitingMutex, deadline);
    }
    releaseHandledReplies();
}

void TradeClient::releaseHandledReplies()
{
    std::vector<QJsonObject> handled;
    {
        QMutexLocker locker(&m_waitingMutex);
        if (m_handled.empty())
            return;
        handled.swap(m_handled);
    }
    handled.clear();
    m_trimDue = true;
    m_sinceBigFreed.start();
}

void TradeClient::trimWhenQuiet()
{
    if (!m_trimDue || m_sinceBigFreed.elapsed() < trimQuietMs)
        return;
    m_trimDue = false;
#ifdef __GLIBC__
    // A parsed reply of 50,000 rows leaves some hundred thousand small blocks free,
    // most in this thread's arena, which malloc keeps resident until the next big
    // reply: a minute of such replies held twice the memory the tables need. Given
    // back once replies pause: done between replies it cost the window a third more
    // time per reply, waiting for the allocator's lock and refaulting the pages.
    malloc_trim(0);
#endif
}

void TradeClient::deliverTick(const QJsonObject &message)
{
    if (!priceBuffer.load(std::memory_order_relaxed))
        return;
    deliverTick(TickData::fromJson(message));
}

void TradeClient::deliverTick(const TickData &tick)
{
    QMutexLocker locker(&m_deliveryMutex);
    if (PriceDataBuffer *buffer = priceBuffer.load())
        buffer->pushTick(tick);
}

void TradeClient::run()
{
    socket = new QWebSocket(QString(), QWebSocketProtocol::Version13);
    // Far above any reply the server sends, and a bound on what a peer can make us hold.
    socket->setMaxAllowedIncomingFrameSize(maxIncomingBytes);
    socket->setMaxAllowedIncomingMessageSize(maxIncomingBytes);
    pingTimer = new QTimer;
    sendTimer = new QTimer;
    m_pongWatchdog = new QTimer;
    m_pongWatchdog->setSingleShot(true);
    m_pongWatchdog->setTimerType(Qt::PreciseTimer);
    m_reconnectTimer = new QTimer;
    m_reconnectTimer->setSingleShot(true);
    m_reconnectTimer->setTimerType(Qt::CoarseTimer);

    connect(socket, &QWebSocket::connected, this, &TradeClient::onConnected, Qt::DirectConnection);
    connect(socket, &QWebSocket::disconnected, this, &TradeClient::closed, Qt::DirectConnection);
    connect(socket, &QWebSocket::textMessageReceived, this, &TradeClient::onMessageReceived, Qt::DirectConnection);
    connect(
        socket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), this,
        [this](QAbstractSocket::SocketError socketError) {
            qCDebug(lcKestral) << "WebSocket error: " << QMetaEnum::fromType<QAbstractSocket::SocketError>().valueToKey(socketError);
            onError(socketError);
        },
        Qt::DirectConnection);
    connect(socket, &QWebSocket::pong, this, &TradeClient::onPong, Qt::DirectConnection);
    connect(pingTimer, &QTimer::timeout, this, &TradeClient::pingToServer, Qt::DirectConnection);
    connect(sendTimer, &QTimer::timeout, this, &TradeClient::drainQueue, Qt::DirectConnection);
    connect(sendTimer, &QTimer::timeout, this, &TradeClient::releaseHandledReplies, Qt::DirectConnection);
    connect(sendTimer, &QTimer::timeout, this, &TradeClient::trimWhenQuiet, Qt::DirectConnection);
    connect(m_pongWatchdog, &QTimer::timeout, this, &TradeClient::forceDisconnect, Qt::DirectConnection);
    connect(m_reconnectTimer, &QTimer::timeout, this, &TradeClient::reconnect, Qt::DirectConnection);

    sendTimer->start(sendIntervalMs);
    socket->open(url);
    exec();

    for (QTimer *timer : {pingTimer, sendTimer, m_pongWatchdog, m_reconnectTimer}) {
        timer->stop();
        delete timer;
    }
    pingTimer = sendTimer = m_pongWatchdog = m_reconnectTimer = nullptr;
    // What was queued on this connection goes now or is dropped in the open.
    drainQueue();
    releaseHandledReplies();
    // Reports the disconnection at once when the socket was open, so closed() runs here.
    socket->close(QWebSocketProtocol::CloseCodeNormal, QString());
    delete socket;
    socket = nullptr;
    connected = false;
}

void TradeClient::onConnected()
{
    pingTimer->start(pingIntervalMs);
    qCDebug(lcKestral) << "timer thread:" << pingTimer->thread();
    qCDebug(lcKestral) << "current thread: " << QThread::currentThread();
    qCDebug(lcKestral) << "thread:" << thread();
    awaitingPong = false;
    connected = true;
    journal(QStringLiteral("Network"), QStringLiteral("Connected to %1").arg(serverName));
    QJsonObject frame;
    frame.insert(QStringLiteral("req_code"), 1);
    frame.insert(QStringLiteral("id"), QJsonValue(login));
    {
        QMutexLocker locker(&m_passwordMutex);
        frame.insert(QStringLiteral("password"), password);
    }
    frame.insert(QStringLiteral("type"), 3);
    m_strayLoginLogged = false;
    m_loginPending = true;
    socket->sendTextMessage(compact(frame));
    post({ReplyQueue::Connected, {}, 0});
}

void TradeClient::closed()
{
    if (connected)
        journal(QStringLiteral("Network"), QStringLiteral("Disconnected from %1").arg(serverName));
    connected = false;
    // The reconnect timer is gone once the loop has ended (log-out, restart).
    if (loggedIn && m_reconnectTimer)
        m_reconnectTimer->start(reconnectDelayMs);
    m_loginPending = false;
    post({ReplyQueue::Disconnected, {}, 0});
}

void TradeClient::onMessageReceived(const QString &msg)
{
    pingTimer->start(pingIntervalMs);
    handleMessage(msg);
}

void TradeClient::handleMessage(const QString &text)
{
    TickData tick;
    if (text.size() <= maxTickTextLength && tickreader::read(text, tick)) {
        if (priceBuffer.load(std::memory_order_relaxed))
            deliverTick(tick);
        return;
    }
    // A second big reply parsed while the window still handles the one before would
    // only add its memory to that one's; the wait is bounded, so the socket is soon read again.
    if (qint64(text.size()) * 4 >= bigReplyBytes && QThread::currentThread() == this)
        awaitBigReplyHandled();
    const QJsonObject message = parseMessage(text);
    const int code = message.value(QLatin1String("res_code")).toInt();
    if (code == 2) {
        deliverTick(message);
        return;
    }
    if (code < 1 || code > 8)
        return;
    if (code == 1) {
        // Only the answer to this connection's login frame counts; any other would
        // log the terminal in or out behind the user's back.
        if (!m_loginPending.exchange(false)) {
            if (!std::exchange(m_strayLoginLogged, true))
                journal(QStringLiteral("Network"),
                        QStringLiteral("Login replies from %1 that answer no login are ignored").arg(serverName));
            return;
        }
        applyLoginReply(message);
    }
    // A parsed reply takes about four times the bytes of its text.
    post({code, message, qint64(text.size()) * 4});
}

void TradeClient::reconnect()
{
    if (login == 0 || !loggedIn || url.isEmpty())
        return;
    if (connected)
        journal(QStringLiteral("Network"), QStringLiteral("Retry to connect to %1").arg(serverName));
    connected = false;
    socket->open(url);
}

void TradeClient::onError(QAbstractSocket::SocketError socketError)
{
    if (connected) {
        journal(QStringLiteral("Network"),
                static_cast<int>(socketError) <= 1 ? QStringLiteral("Network closed forcely")
                                                   : QStringLiteral("Network not found"));
    }
    // Restarting replaces an attempt already scheduled by a disconnection.
    if (m_reconnectTimer)
        m_reconnectTimer->start(reconnectDelayMs);
    emit error(socket->errorString());
    // A connection that never opened, a failed handshake above all, is dropped: the
    // socket would otherwise go on reading whatever the peer sends, without bound.
    if (!connected && socket->state() != QAbstractSocket::UnconnectedState)
        socket->abort();
}

void TradeClient::pingToServer()
{
    if (!connected)
        return;
    socket->ping();
    awaitingPong = true;
    m_pongWatchdog->start(pongTimeoutMs);
}

void TradeClient::onPong()
{
    qCDebug(lcKestral) << "Websocket pong";
    awaitingPong = false;
}

void TradeClient::forceDisconnect()
{
    if (!awaitingPong || !connected)
        return;
    qCDebug(lcKestral) << "force disconnected";
    socket->close(QWebSocketProtocol::CloseCodeAbnormalDisconnection, QString());
}

void TradeClient::drainQueue()
{
    QStringList texts;
    {
        QMutexLocker locker(&queueMutex);
        if (sendQueue.isEmpty())
            return;
        texts.swap(sendQueue);
    }
    // A text is never kept for a later connection: an order must not go out minutes
    // later at another price. Dropping it in the open keeps the failure visible.
    const bool open = connected && socket->state() == QAbstractSocket::ConnectedState;
    for (const QString &text : std::as_const(texts)) {
        if (text.isEmpty())
            continue;
        if (open)
            socket->sendTextMessage(text);
        else
            journal(QStringLiteral("Network"), QStringLiteral("Request not sent, no connection to %1").arg(serverName));
    }
}
