#include "terminalsession.h"

#include "appglobals.h"
#include "logindialog.h"
#include "scalewidgettree.h"
#include "tradeclient.h"
#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QtTest>

TerminalSession::TerminalSession(bool buildWindow)
{
    initTerminalResources();
    server.setLoginReply(FakeTradeServer::LoginMode::Accept, QStringLiteral("+02:00"));
    server.setReplies(1, {symbolList({QStringLiteral("EURUSD"), QStringLiteral("GBPUSD"), QStringLiteral("USDJPY"),
                                      QStringLiteral("XAUUSD"), QStringLiteral("AUDUSD")})});
    http.setReply("GET", QStringLiteral("/brokers"), 200, brokerListBody());
    qputenv("KESTRAL_BROKER_HOST", "127.0.0.1");
    qputenv("KESTRAL_BROKER_PORT", QByteArray::number(http.port()));
    client = new TradeClient;
    if (buildWindow)
        build();
}

TerminalSession::~TerminalSession()
{
    window.reset();
    dropClient();
}

void TerminalSession::dropClient()
{
    client->logout();
    client->wait(patienceMs);
    delete client;
    client = nullptr;
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
    dropClient();
    client = new TradeClient;
    build();
}

bool TerminalSession::waitForServers()
{
    return QTest::qWaitFor([this] { return !window->servers().isEmpty(); }, patienceMs);
}

bool TerminalSession::loginAndWait(const QString &password, bool savePassword, qint64 login)
{
    if (!waitForServers())
        return false;
    LoginDialog *dialog = window->loginDialog();
    dialog->setLogin(login);
    dialog->setPassword(password);
    dialog->selectServerByName(serverName);
    dialog->findChild<QCheckBox *>(QStringLiteral("saveCheckBox"))->setChecked(savePassword);
    dialog->onOk();
    return waitForLogin(login);
}

bool TerminalSession::waitForLogin(qint64 login)
{
    return QTest::qWaitFor(
        [this, login] { return window->login() == login && window->windowTitle().contains(QString::number(login)); },
        patienceMs);
}

QJsonObject TerminalSession::symbolList(const QStringList &symbols)
{
    QJsonArray array;
    for (const QString &symbol : symbols)
        array.append(QJsonObject{{"symbol", symbol},
                                 {"digits", 5},
                                 {"c_size", 100000},
                                 {"min_vol", 100},
                                 {"max_vol", 100000},
                                 {"step_vol", 100}});
    return {{"res_code", 8}, {"array", array}};
}

QByteArray TerminalSession::brokerListBody() const
{
    const QJsonArray servers{QJsonObject{{"name", serverName}, {"ipaddr", server.address()}, {"brokerId", 34}},
                             QJsonObject{{"name", "Other broker"}, {"ipaddr", "127.0.0.1:1"}, {"brokerId", 7}}};
    return QJsonDocument(QJsonArray{QJsonObject{{"servers", servers}}}).toJson(QJsonDocument::Compact);
}

QString TerminalSession::accountFolder(qint64 login) const
{
    return accountPath(serverName, login);
}
