#include "serverapp.h"

#include "protocol.h"
#include "serverstore.h"
#include "tradeserver.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <cstdio>
#include <cstdlib>

namespace tradeserver {

namespace {

constexpr int maxTextLength = 64;
constexpr qint64 maxDeposit = 10000000;
constexpr int maxLeverage = 1000;

HttpReply json(int status, const QJsonObject &object)
{
    return {status, QJsonDocument(object).toJson(QJsonDocument::Compact)};
}

HttpReply refuse(int status, const QString &why)
{
    return json(status, {{"error", why}});
}

QString newPassword()
{
    static const char alphabet[] = "abcdefghjkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    QString password;
    for (int i = 0; i < 10; ++i)
        password += QLatin1Char(alphabet[QRandomGenerator::system()->bounded(int(sizeof alphabet) - 1)]);
    return password;
}

} // namespace

ServerApp::ServerApp(const ServerOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
{
    const quint64 seed = options.seed != 0 ? options.seed : QRandomGenerator::system()->generate64();
    m_desk = std::make_unique<Desk>(options.symbols > 0 ? instruments(options.symbols) : defaultInstruments(), seed,
                                    options.timeZone, QDateTime::currentMSecsSinceEpoch());
    m_desk->feed().setTicksPerSecond(options.tickRate);
    m_store = std::make_unique<ServerStore>();
    if (m_store->open(options.database)) {
        TradingEngine &engine = m_desk->engine();
        m_store->restore(engine);
        engine.setSaver([this](const TradingEngine &engine, const EngineChanges &changes) {
            if (!m_store->save(engine, changes))
                storeFailed();
        });
        engine.setHistoryLoader([this](Account &account) {
            if (!m_store->loadHistory(account))
                storeFailed();
        });
        // Once per file: a password changed since stays changed.
        if (!engine.account(m_demo.login))
            engine.createAccount(QStringLiteral("Demo Trader"), m_demo.password, m_demo.investorPassword,
                                 m_demo.deposit, m_demo.leverage, m_demo.login);
    } else {
        m_error = m_store->errorString();
    }
    m_trade = new TradeServer(m_desk.get(), this);
    m_brokers = new HttpService([this](const HttpRequest &request) { return brokerList(request); }, this);
    m_accounts = new HttpService([this](const HttpRequest &request) { return accountService(request); }, this);
}

ServerApp::~ServerApp()
{
    // The trade server reads the desk until it goes.
    delete m_trade;
}

void ServerApp::storeFailed() const
{
    // The reply has not gone yet: stopping now keeps every acknowledged change true.
    std::fprintf(stderr, "kestral-server: %s\n", qPrintable(m_store->errorString()));
    std::fflush(stderr);
    std::_Exit(1);
}

bool ServerApp::start()
{
    if (!m_error.isEmpty())
        return false;
    if (!m_options.recordPath.isEmpty()) {
        m_record.setFileName(m_options.recordPath);
        // Unbuffered, so a reader sees each request as soon as it is handled.
        if (!m_record.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            m_error =
                QStringLiteral("cannot open record file %1: %2").arg(m_options.recordPath, m_record.errorString());
            return false;
        }
        m_trade->setRecord(&m_record);
    }
    if (!m_trade->listen(m_options.address, m_options.tradePort)) {
        m_error =
            QStringLiteral("cannot listen on trade port %1: %2").arg(m_options.tradePort).arg(m_trade->errorString());
        return false;
    }
    if (!m_brokers->listen(m_options.address, m_options.brokerPort)) {
        m_error = QStringLiteral("cannot listen on broker port %1: %2")
                      .arg(m_options.brokerPort)
                      .arg(m_brokers->errorString());
        return false;
    }
    if (!m_accounts->listen(m_options.address, m_options.accountPort)) {
        m_error = QStringLiteral("cannot listen on account port %1: %2")
                      .arg(m_options.accountPort)
                      .arg(m_accounts->errorString());
        return false;
    }
    return true;
}

quint16 ServerApp::brokerPort() const
{
    return m_brokers->port();
}

quint16 ServerApp::tradePort() const
{
    return m_trade->port();
}

quint16 ServerApp::accountPort() const
{
    return m_accounts->port();
}

HttpReply ServerApp::brokerList(const HttpRequest &request) const
{
    if (request.path != "/brokers")
        return refuse(404, QStringLiteral("Not found"));
    if (request.method != "GET")
        return refuse(405, QStringLiteral("Use GET"));
    const QString host = m_options.address.toString();
    const QJsonObject server{{"name", m_options.serverName},
                             {"ipaddr", QStringLiteral("%1:%2").arg(host).arg(tradePort())},
                             {"brokerId", brokerId}};
    const QJsonArray brokers{QJsonObject{{"name", QStringLiteral("Kestral Markets")}, {"servers", QJsonArray{server}}}};
    return {200, QJsonDocument(brokers).toJson(QJsonDocument::Compact)};
}

HttpReply ServerApp::accountService(const HttpRequest &request)
{
    const bool create = request.path == "/account/create";
    if (!create && request.path != "/account/update")
        return refuse(404, QStringLiteral("Not found"));
    if (request.method != "POST")
        return refuse(405, QStringLiteral("Use POST"));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(request.body, &error);
    if (!document.isObject())
        return refuse(400, QStringLiteral("The body must be a JSON object"));
    return create ? createAccount(document.object()) : updateAccount(document.object(), request.authorization);
}

HttpReply ServerApp::createAccount(const QJsonObject &body)
{
    const QString name = body.value(QLatin1String("name")).toString().trimmed();
    const qint64 deposit = protocol::integer(body.value(QLatin1String("deposit")), -1);
    const qint64 leverage = protocol::integer(body.value(QLatin1String("leverage")), -1);
    if (name.isEmpty() || name.size() > maxTextLength)
        return refuse(400, QStringLiteral("A name of 1 to %1 characters is needed").arg(maxTextLength));
    for (const char *key : {"email", "phone", "server"}) {
        if (body.value(QLatin1String(key)).toString().size() > maxTextLength)
            return refuse(400, QStringLiteral("\"%1\" is too long").arg(QLatin1String(key)));
    }
    if (deposit <= 0 || deposit > maxDeposit)
        return refuse(400, QStringLiteral("The deposit must lie between 1 and %1").arg(maxDeposit));
    if (leverage < 1 || leverage > maxLeverage)
        return refuse(400, QStringLiteral("The leverage must lie between 1 and %1").arg(maxLeverage));
    const QString password = newPassword();
    const QString investor = newPassword();
    const qint64 login = m_desk->engine().createAccount(name, password, investor, double(deposit), int(leverage));
    if (login == 0)
        return refuse(503, QStringLiteral("No more demo accounts can be opened on this server"));
    return json(200, {{"status", 1}, {"login", login}, {"password", password}, {"investor_password", investor}});
}

HttpReply ServerApp::updateAccount(const QJsonObject &body, const QByteArray &authorization)
{
    // The caller proves the main password by basic authentication of "login:password";
    // being logged in somewhere proves nothing about who asks.
    const QByteArray scheme("Basic ");
    const QByteArray credentials =
        authorization.startsWith(scheme)
            ? QByteArray::fromBase64(authorization.mid(scheme.size()), QByteArray::AbortOnBase64DecodingErrors)
            : QByteArray();
    const int colon = credentials.indexOf(':');
    if (colon < 1) {
        HttpReply reply = refuse(401, QStringLiteral("The login and main password are needed"));
        reply.headers = "WWW-Authenticate: Basic realm=\"account service\"\r\n";
        return reply;
    }
    const qint64 login = protocol::integer(body.value(QLatin1String("dealer")));
    const QJsonValue master = body.value(QLatin1String("master_password"));
    const QJsonValue investor = body.value(QLatin1String("investor_password"));
    if (master.isUndefined() == investor.isUndefined())
        return refuse(400, QStringLiteral("Exactly one of master_password and investor_password is needed"));
    const QString password = (master.isUndefined() ? investor : master).toString();
    if (password.isEmpty() || password.size() > maxTextLength)
        return refuse(400, QStringLiteral("A password of 1 to %1 characters is needed").arg(maxTextLength));
    bool numeric = false;
    if (credentials.left(colon).toLongLong(&numeric) != login || !numeric ||
        m_desk->authenticate(login, QString::fromUtf8(credentials.mid(colon + 1))) != Access::Full)
        return refuse(403, QStringLiteral("The login and main password do not match the account"));
    m_desk->engine().setPassword(login, !master.isUndefined(), password);
    return json(200, {{"status", 1}});
}

} // namespace tradeserver
