// Placeholder bodies: the real client replaces this file.
#include "tradeclient.h"

TradeClient::TradeClient(QObject *parent) : QThread(parent) {}
TradeClient::~TradeClient() { quit(); wait(); }
bool TradeClient::connectToServer(const QString &, qint64, const QString &, const QString &) { return false; }
void TradeClient::logout() {}
void TradeClient::sendRequest(const QJsonObject &) {}
void TradeClient::enqueueMessage(const QString &) {}
void TradeClient::requestTradeHistory(int) {}
QTimeZone TradeClient::timeZone() const { return serverTimeZone; }
QJsonObject TradeClient::parseMessage(const QString &) { return {}; }
void TradeClient::dispatchMessage(const QJsonObject &) {}
void TradeClient::run() {}
void TradeClient::onConnected() {}
void TradeClient::closed() {}
void TradeClient::onMessageReceived(const QString &) {}
void TradeClient::reconnect() {}
void TradeClient::onError(QAbstractSocket::SocketError) {}
void TradeClient::pingToServer() {}
void TradeClient::onPong() {}
void TradeClient::forceDisconnect() {}
