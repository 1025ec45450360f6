#include "terminalsession.h"

#include "appglobals.h"
#include "logindialog.h"
#include "scalewidgettree.h"
#include "tradeclient.h"
#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

TerminalSession::TerminalSession(bool buildWindow)
{
    initTerminalResources();
    server.setLoginReply(FakeTradeServer::LoginMode::Accept, QStringLiteral("+02:00"));
    QJsonArray symbols; // five digits each
    for (const char *symbol : {"EURUSD", "GBPUSD", "USDJPY", "XAUUSD", "AUDUSD"})
        symbols.append(QJsonObject{{"symbol", symbol},
                                   {"digits", 5},
                                   {"c_size", 100000},
                                   {"min_vol", 100},
                                   {"max_vol", 100000},
                                   {"step_vol", 100}});
    server.setReplies(1, {QJsonObject{{"res_code", 8}, {"array", symbols}}});
    const QJsonArray servers{QJsonObject{{"name", serverName}, {"ipaddr", server.address()}, {"brokerId", 34}},
                             QJsonObject{{"name", "Other broker"}, {"ipaddr", "127.0.0.1:1"}, {"brokerId", 7}}};
    http.setReply("GET", QStringLiteral("/brokers"), 200,
                  QJsonDocument(QJsonArray{QJsonObject{{"servers", servers}}}).toJson(QJsonDocument::Compact));
    qputenv("KESTRAL_BROKER_HOST", "127.0.0.1");
    qputenv("KESTRAL_BROKER_PORT", QByteArray::number(http.port()));
    client = new TradeClient;
    if (buildWindow)
        build();
}

TerminalSession::~TerminalSession()
{
    window.reset();
    client->logout();
    client->wait(patienceMs);
    delete client;
}

void TerminalSession::build()
{
    window = std::make_unique<Client_Terminal>(client);
    window->resize(1280, 800);
}

void TerminalSession::restart()
{
    window->close();
    window.reset();
    client->logout();
    client->wait(patienceMs);
    delete client;
    client = new TradeClient;
    build();
}

bool TerminalSession::waitForServers()
{
    return QTest::qWaitFor([this] { return !window->servers().isEmpty(); }, patienceMs);
}

bool TerminalSession::loginAndWait(const QString &password, bool savePassword, const QString &name)
{
    if (!waitForServers())
        return false;
    LoginDialog *dialog = window->loginDialog();
    if (name != serverName)
        dialog->addServer(name, server.address());
    dialog->setLogin(account);
    dialog->setPassword(password);
    dialog->selectServerByName(name);
    dialog->findChild<QCheckBox *>(QStringLiteral("saveCheckBox"))->setChecked(savePassword);
    dialog->onOk();
    return waitForLogin();
}

bool TerminalSession::waitForLogin()
{
    return QTest::qWaitFor(
        [this] { return window->login() == account && window->windowTitle().contains(QString::number(account)); },
        patienceMs);
}

QString TerminalSession::accountFolder() const
{
    return accountPath(serverName, account);
}
