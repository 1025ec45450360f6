// The whole local server: the simulated market and accounts behind the trade
// server, the broker list and the account service, each on its own port.
#pragma once

#include "desk.h"
#include "httpservice.h"

#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <memory>

namespace tradeserver {

class ServerStore;
class TradeServer;

struct ServerOptions
{
    QHostAddress address = QHostAddress::LocalHost;
    quint16 brokerPort = 9000;
    quint16 tradePort = 9001;
    quint16 accountPort = 9004;
    quint64 seed = 0; // 0: a different market every run
    QString timeZone = QStringLiteral("+00:00");
    QString serverName = QStringLiteral("KestralDemo");
    QString recordPath;    // empty: requests are not recorded
    int symbols = 0;       // 0: the real market's instruments
    double tickRate = 3.0; // per symbol and second
    // The file that keeps accounts and trades across runs; ":memory:" keeps them for this run only.
    QString database = QStringLiteral(":memory:");
};

struct DemoCredentials
{
    qint64 login = 100001;
    QString password = QStringLiteral("demo123");
    QString investorPassword = QStringLiteral("view123");
    double deposit = 10000.0;
    int leverage = 100;
};

class ServerApp : public QObject
{
    Q_OBJECT

public:
    static constexpr int brokerId = 34;

    explicit ServerApp(const ServerOptions &options, QObject *parent = nullptr);
    ~ServerApp() override;

    // False, with errorString() saying why, when the database or a port cannot be taken.
    // A database that later fails to keep a change stops the process at once, before
    // anything reports that change as done.
    bool start();
    QString errorString() const { return m_error; }
    quint16 brokerPort() const;
    quint16 tradePort() const;
    quint16 accountPort() const;
    const DemoCredentials &demo() const { return m_demo; }
    Desk &desk() { return *m_desk; }
    const TradeServer &tradeServer() const { return *m_trade; }

    HttpReply brokerList(const HttpRequest &request) const;
    HttpReply accountService(const HttpRequest &request);

private:
    [[noreturn]] void storeFailed() const;
    HttpReply createAccount(const QJsonObject &body);
    HttpReply updateAccount(const QJsonObject &body, const QByteArray &authorization);

    ServerOptions m_options;
    DemoCredentials m_demo;
    std::unique_ptr<ServerStore> m_store; // outlives the desk, which saves through it
    std::unique_ptr<Desk> m_desk;
    TradeServer *m_trade;
    HttpService *m_brokers;
    HttpService *m_accounts;
    QString m_error;
    QFile m_record;
};

} // namespace tradeserver
