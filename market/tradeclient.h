// The one connection to the trade server: a thread whose loop owns the WebSocket,
// logs in, keeps the connection alive, drains the send queue and dispatches replies.
#pragma once

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QMutex>
#include <QStringList>
#include <QThread>
#include <QTimeZone>
#include <QUrl>
#include <QWaitCondition>
#include <atomic>
#include <vector>

#include "replyqueue.h"

class PriceDataBuffer;
struct TickData;
class QTimer;
class QWebSocket;

class TradeClient : public QThread
{
    Q_OBJECT

public:
    explicit TradeClient(QObject *parent = nullptr);
    ~TradeClient() override;

    bool connectToServer(const QString &url, qint64 login, const QString &password, const QString &serverName);
    void logout();
    // For the next login, also an automatic reconnection's; safe while the network thread runs.
    void setPassword(const QString &newPassword);
    void sendRequest(const QJsonObject &request);
    void enqueueMessage(const QString &text);
    void requestTradeHistory(int days);
    QTimeZone timeZone() const;

    static QJsonObject parseMessage(const QString &text);
    // Handles a reply at once, in the calling thread.
    void dispatchMessage(const QJsonObject &message);
    // A received text: price ticks are read straight from it; the other replies wait,
    // bounded, for the thread this object lives in, which emits their signals.
    void handleMessage(const QString &text);
    // Whether replies still wait for this object's thread to emit them.
    bool repliesWaiting() const;

    // Clears every client's priceBuffer that points at `buffer` and waits until no
    // network thread is inside its pushTick; the batcher calls it as it goes away.
    static void releasePriceBuffer(PriceDataBuffer *buffer);

    // Read by the change-password dialog; priceBuffer is set by the main window.
    QUrl url;
    qint64 login = 0;
    QString password;
    // Written in the user-interface thread, read by the network thread per tick.
    std::atomic<PriceDataBuffer *> priceBuffer{nullptr};

signals:
    void websocketConnected();
    void websocketDisconnected();
    void loginSuccess(QJsonObject info);
    void loginFail();
    void chartHistoryReceived(QJsonObject chart);
    void openPositionsReceived(QJsonObject positions);
    void tradeHistoryReceived(QJsonObject trade);
    void pendingOrdersReceived(QJsonObject pendings);
    void tradeResponseReceived(QJsonObject response);
    void symbolListReceived(QJsonObject symbols);
    void error(QString errorString);

protected:
    void run() override;

private slots:
    void onConnected();
    void closed();
    void onMessageReceived(const QString &msg);
    void reconnect();
    void onError(QAbstractSocket::SocketError error);
    void pingToServer();
    void onPong();
    void forceDisconnect();

private:
    void drainQueue();
    void applyLoginReply(const QJsonObject &message);
    void emitReply(int code, const QJsonObject &message);
    void post(ReplyQueue::Entry entry);
    void deliverReplies();
    void releaseHandledReplies();
    void awaitBigReplyHandled();
    void trimWhenQuiet();
    void deliverTick(const QJsonObject &message);
    void deliverTick(const TickData &tick);
    void stopThread();

    QString serverName;
    QStringList sendQueue;
    QTimeZone serverTimeZone;
    std::atomic<bool> connected{false};
    std::atomic<bool> loggedIn{false};
    std::atomic<bool> awaitingPong{false};
    // Set when the login frame goes out: only the one answer to it counts.
    std::atomic<bool> m_loginPending{false};
    bool m_strayLoginLogged = false;
    // Network-thread objects: created by run() and deleted when its loop ends, so
    // no timeout of an old connection can reach a restarted or destroyed client.
    QTimer *pingTimer = nullptr;
    QTimer *sendTimer = nullptr;
    QTimer *m_pongWatchdog = nullptr;
    QTimer *m_reconnectTimer = nullptr;
    QWebSocket *socket = nullptr;
    QMutex queueMutex;
    mutable QMutex zoneMutex;
    QMutex m_passwordMutex;
    // Network thread only: memory of freed big replies still to give back, and since when.
    bool m_trimDue = false;
    QElapsedTimer m_sinceBigFreed;
    // Held while a tick is handed to priceBuffer, so the batcher can wait it out.
    QMutex m_deliveryMutex;
    // Guards the six below, shared by the network thread and the object's own thread.
    mutable QMutex m_waitingMutex;
    ReplyQueue m_waiting;
    bool m_deliveryPosted = false;
    bool m_overflowLogged = false;
    // Big replies the window has handled, for the network thread to free: freeing the
    // parsed rows of one took the window as long as handling them.
    std::vector<QJsonObject> m_handled;
    bool m_handlingBig = false;
    QWaitCondition m_bigReplyDone;
};
