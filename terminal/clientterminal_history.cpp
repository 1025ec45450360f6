// The history tables: closed positions, orders and deals, their requests and the statement.
#include "clientterminal.h"
#include "ui_clientterminal.h"

#include "accountstatement.h"
#include "historytables.h"
#include "logger.h"
#include "servertime.h"
#include "tradeclient.h"

#include <QDateTimeEdit>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHeaderView>
#include <QMenu>
#include <QUrl>

void Client_Terminal::setupHistoryView()
{
    const struct
    {
        QTableWidget *table;
        QStringList headers;
    } tables[] = {
        {ui->positionTableWidget,
         {"symbol", "ticket", "time", "type", "volume", "s/l", "t/p", "price (open)", "price", "swap", "commission",
          "profit"}},
        {ui->orderTableWidget, {"symbol", "ticket", "time", "type", "volume", "s/l", "t/p", "price", "price", "state"}},
        {ui->dealTableWidget,
         {"symbol", "ticket", "order", "time", "type", "volume", "price", "swap", "commission", "profit"}},
    };
    for (const auto &entry : tables) {
        entry.table->setColumnCount(entry.headers.size());
        entry.table->setHorizontalHeaderLabels(entry.headers);
        // No sort until the user asks for one, so the rows keep the server's order.
        entry.table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
        entry.table->setSortingEnabled(true);
        connect(entry.table, &QWidget::customContextMenuRequested, this, &Client_Terminal::historyTableContext);
    }
    connect(ui->historySwitchBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &Client_Terminal::historySwitch);
    showPositionsHistory();
}

void Client_Terminal::historyTableLoad(QJsonObject obj)
{
    m_historyView.load(
        obj, {ui->positionTableWidget, ui->orderTableWidget, ui->dealTableWidget},
        [this](const QString &symbol) { return m_symbolStorage.digits(symbol); }, m_client->timeZone(), m_footerFont);
}

void Client_Terminal::historySwitch(int index)
{
    if (index == 1 || index == 2) {
        ui->positionTableWidget->hide();
        ui->orderTableWidget->setVisible(index == 1);
        ui->dealTableWidget->setVisible(index == 2);
    } else {
        showPositionsHistory();
    }
}

void Client_Terminal::showPositionsHistory()
{
    ui->positionTableWidget->show();
    ui->orderTableWidget->hide();
    ui->dealTableWidget->hide();
}

void Client_Terminal::requestHistory(const QString &choice, const QJsonObject &request)
{
    Logger::instance()->log(QStringLiteral("History Request"), QStringLiteral("Requested period: ") + choice);
    if (!request.isEmpty())
        m_client->sendRequest(request);
}

void Client_Terminal::historyTableContext(QPoint pos)
{
    auto *table = qobject_cast<QTableWidget *>(sender());
    QMenu menu(this);
    QAction *today = menu.addAction(QStringLiteral("Today"));
    QAction *week = menu.addAction(QStringLiteral("This week"));
    QAction *month = menu.addAction(QStringLiteral("This month"));
    QAction *all = menu.addAction(QStringLiteral("All"));
    QAction *custom = menu.addAction(QStringLiteral("Custom date"));
    menu.addSeparator();
    QAction *report = menu.addAction(QStringLiteral("Save as Report"));

    const QAction *chosen = menu.exec(table ? table->viewport()->mapToGlobal(pos) : QCursor::pos());
    if (chosen == today) {
        const auto range = tradeHistoryRange(-1);
        requestHistory(today->text(), {{QStringLiteral("from"), int(range.first)},
                                       {QStringLiteral("to"), int(range.second)},
                                       {QStringLiteral("req_code"), 5}});
    } else if (chosen == week) {
        requestHistory(week->text(), {});
        m_client->requestTradeHistory(-7);
    } else if (chosen == month) {
        requestHistory(month->text(), {});
        m_client->requestTradeHistory(-30);
    } else if (chosen == all) {
        requestHistory(all->text(),
                       {{QStringLiteral("from"), 0}, {QStringLiteral("to"), -1}, {QStringLiteral("req_code"), 5}});
    } else if (chosen == custom) {
        requestCustomHistory();
    } else if (chosen == report) {
        saveAccountStatement();
    }
}

void Client_Terminal::requestCustomHistory()
{
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Custom date"));
    auto *layout = new QFormLayout(&dialog);
    auto *from = new QDateTimeEdit(QDateTime(QDate::currentDate().addDays(-7), QTime(0, 0)), &dialog);
    auto *to = new QDateTimeEdit(QDateTime(QDate::currentDate().addDays(1), QTime(0, 0)), &dialog);
    for (QDateTimeEdit *edit : {from, to}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    }
    layout->addRow(QStringLiteral("From:"), from);
    layout->addRow(QStringLiteral("To:"), to);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return;
    requestHistory(QStringLiteral("Custom date"), {{QStringLiteral("from"), from->dateTime().toSecsSinceEpoch()},
                                                   {QStringLiteral("to"), to->dateTime().toSecsSinceEpoch()},
                                                   {QStringLiteral("req_code"), 5}});
}

void Client_Terminal::saveAccountStatement()
{
    const QString proposed = QStringLiteral("ReportHistory-%1.html").arg(m_login);
    const QString path = statementPathChooser
                             ? statementPathChooser(proposed)
                             : QFileDialog::getSaveFileName(this, QStringLiteral("Save Report"), proposed,
                                                            QStringLiteral("HTML files (*.html *.htm)"));
    if (path.isEmpty())
        return;

    StatementContent content;
    content.login = m_login;
    content.name = m_clientName;
    content.server = m_serverName;
    content.generated = QDateTime::currentDateTime();
    content.positionHeaders = tableHeaders(ui->positionTableWidget);
    content.positionRows = tableDataRows(ui->positionTableWidget);
    content.dealsFooter = lastRowText(ui->dealTableWidget);
    QString error;
    if (!writeAccountStatement(path, buildAccountStatement(content), &error)) {
        Logger::instance()->log(QStringLiteral("Terminal"),
                                QStringLiteral("Failed to write the report %1: %2").arg(path, error));
        return;
    }
    Logger::instance()->log(QStringLiteral("Terminal"), QStringLiteral("Report saved: %1").arg(path));
    // Without a browser this fails quietly; the file is written either way.
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
