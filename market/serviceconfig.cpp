#include "serviceconfig.h"

namespace {

QString setting(const char *name, const QString &fallback)
{
    const QString value = qEnvironmentVariable(name).trimmed();
    return value.isEmpty() ? fallback : value;
}

int portSetting(const char *name, int fallback)
{
    bool ok = false;
    const int port = qEnvironmentVariable(name).toInt(&ok);
    return ok && port > 0 && port < 65536 ? port : fallback;
}

// The host (and port) of `base` under plain HTTP with the given path: the pages the
// main window opens are not served over TLS.
QUrl plainHttpPage(const QString &base, const QString &path)
{
    QUrl url = QUrl::fromUserInput(base);
    url.setScheme(QStringLiteral("http"));
    url.setUserInfo(QString());
    url.setPath(path);
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

} // namespace

namespace serviceconfig {

QString brokerListHost()
{
    return setting("KESTRAL_BROKER_HOST", QStringLiteral(KESTRAL_DEFAULT_BROKER_HOST));
}

int brokerListPort()
{
    return portSetting("KESTRAL_BROKER_PORT", 9000);
}

QUrl brokerListUrl()
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(brokerListHost());
    url.setPort(brokerListPort());
    url.setPath(QStringLiteral("/brokers"));
    return url;
}

int accountServicePort()
{
    return portSetting("KESTRAL_ACCOUNT_PORT", 9004);
}

QUrl accountServiceUrl(const QString &serverAddress, const QString &path)
{
    QString host = serverAddress.trimmed();
    const int scheme = host.indexOf(QStringLiteral("://"));
    if (scheme >= 0)
        host = host.mid(scheme + 3);
    host = host.section(QLatin1Char('/'), 0, 0).section(QLatin1Char(':'), 0, 0);
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(host);
    url.setPort(accountServicePort());
    url.setPath(path);
    return url;
}

QUrl webPage(WebPage page)
{
    const QString base = setting("KESTRAL_WEB_BASE", QStringLiteral("https://www.kestralmarkets.com"));
    switch (page) {
    case WebPage::CopyTrading:
        return plainHttpPage(setting("KESTRAL_COPY_TRADING_BASE", QStringLiteral("http://copytrading.kestralmarkets.com")),
                             QStringLiteral("/"));
    case WebPage::EconomicCalendar:
        return plainHttpPage(base, QStringLiteral("/calender"));
    case WebPage::Home:
        return QUrl(base);
    case WebPage::IosApp:
        return QUrl(base + QStringLiteral("/apps/ios"));
    case WebPage::AndroidApp:
        return QUrl(base + QStringLiteral("/apps/android"));
    case WebPage::Licence:
        return QUrl(base + QStringLiteral("/eula"));
    }
    return QUrl(base);
}

} // namespace serviceconfig
