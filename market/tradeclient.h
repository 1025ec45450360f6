// The one connection to the trade server: a thread whose loop owns the WebSocket,
// logs in, keeps the connection alive, drains the send queue and dispatches replies.
#pragma once

#include <QJsonObject>
#include <QMutex>
#include <QStringList>
#include <QThread>
#include <QTimeZone>
#include <QUrl>
#include <QAbstractSocket>

class PriceDataBuffer;
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
    void sendRequest(const QJsonObject &request);
    void enqueueMessage(const QString &text);
    void requestTradeHistory(int days);
    QTimeZone timeZone() const;

    static QJsonObject parseMessage(const QString &text);
    void dispatchMessage(const QJsonObject &message);

    // Read by the change-password dialog; priceBuffer is set by the main window.
    QUrl url;
    qint64 login = 0;
    QString password;
    PriceDataBuffer *priceBuffer = nullptr;

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
    QString serverName;
    QStringList sendQueue;
    QTimeZone serverTimeZone;
    bool connected = false;
    bool loggedIn = false;
    bool awaitingPong = false;
    QTimer *pingTimer = nullptr;
    QTimer *sendTimer = nullptr;
    QWebSocket *socket = nullptr;
    QMutex queueMutex;
    mutable QMutex zoneMutex;
};
