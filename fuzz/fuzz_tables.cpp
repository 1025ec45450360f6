// Positions, pending orders and trade history replies, one frame per input line,
// through the client's parser into the main window's tables; then the history
// tables are sorted and the account statement is built from them.
#include "fuzzsupport.h"

#include "clientterminal.h"
#include "scalewidgettree.h"
#include "tradeclient.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QTableWidget>

namespace {

TradeClient *client = nullptr;
Client_Terminal *window = nullptr;
QString statementPath;

void feed(const QByteArray &frame)
{
    const QJsonObject reply = TradeClient::parseMessage(QString::fromUtf8(frame));
    switch (reply.value(QLatin1String("res_code")).toInt()) {
    case 4:
        window->onPosition(reply);
        break;
    case 5:
        window->historyTableLoad(reply);
        break;
    case 6:
        window->onOrder(reply);
        break;
    default:
        break;
    }
}

void sortHistory(size_t seed)
{
    for (const char *name : {"positionTableWidget", "orderTableWidget", "dealTableWidget"}) {
        auto *table = window->findChild<QTableWidget *>(QLatin1String(name));
        FUZZ_CHECK(table);
        if (table->columnCount() > 0)
            table->sortItems(int(seed % size_t(table->columnCount())),
                             seed % 2 ? Qt::DescendingOrder : Qt::AscendingOrder);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::initialize(true);
    // The broker list is asked for at start; nothing listens on this port.
    qputenv("KESTRAL_BROKER_HOST", "127.0.0.1");
    qputenv("KESTRAL_BROKER_PORT", "9");
    initTerminalResources();
    client = new TradeClient;
    window = new Client_Terminal(client);
    statementPath = fuzzsupport::root() + QStringLiteral("/statement.html");
    window->statementPathChooser = [](const QString &) { return statementPath; };
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (const QByteArray &frame : fuzzsupport::lines(data, size))
        feed(frame);
    sortHistory(size);
    window->saveAccountStatement();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
