// Construction and wiring of the main window, its close, the connection actions,
// sounds, one-click orders, web pages and the routing of ticks and symbol lists.
#include "clientterminal.h"
#include "ui_clientterminal.h"

#include "appglobals.h"
#include "chartmanager.h"
#include "journalwidget.h"
#include "lefttorightfigures.h"
#include "logger.h"
#include "logindialog.h"
#include "pricedatabuffer.h"
#include "serviceconfig.h"
#include "soundeffects.h"
#include "summarylabel.h"
#include "symbolchartwidget.h"
#include "tablestyle.h"
#include "tradeclient.h"
#include <QActionGroup>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QJsonArray>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScopedValueRollback>
#include <QTimer>

Client_Terminal::Client_Terminal(TradeClient *client, QWidget *parent)
    : QMainWindow(parent)
    , m_client(client)
{
    m_loginDialog = new LoginDialog(this);
    ui = std::make_unique<Ui::Client_Terminal>();
    ui->setupUi(this);
    Logger::instance();
    createLanguageMenu();

    m_priceBuffer = new PriceDataBuffer(this);
    m_priceBuffer->setInterval(100);
    connect(m_client, &TradeClient::websocketConnected, m_priceBuffer, &PriceDataBuffer::beginTimer);
    connect(m_client, &TradeClient::websocketDisconnected, m_priceBuffer, &PriceDataBuffer::endTimer);
    m_client->priceBuffer = m_priceBuffer;

    m_chartManager = new ChartManager(m_client, this);

    m_journal = new JournalWidget(ui->toolboxTabWidget);
    ui->toolboxTabWidget->addTab(m_journal, QStringLiteral("Journal"));
    connect(Logger::instance(), &Logger::logMessage, m_journal, &JournalWidget::addItem);
    Logger::instance()->log(QStringLiteral("Terminal"), QStringLiteral("Started"));

    m_brokerNetwork = new QNetworkAccessManager(this);
    connect(m_brokerNetwork, &QNetworkAccessManager::finished, this, &Client_Terminal::onBrokerListReceived);
    requestBrokerList();

    createDialogs();

    m_sounds = new SoundEffects(this);
    m_disconnectedSoundTimer = new QTimer(this);
    connect(m_disconnectedSoundTimer, &QTimer::timeout, this, &Client_Terminal::onPlayDisconnectedSound);

    m_footerFont = QFont();
    m_footerFont.setWeight(75);
    m_summaryLabel = new SummaryLabel(ui->toolboxDockWidget);
    QFont summaryFont = m_summaryLabel->font();
    summaryFont.setPointSize(12);
    summaryFont.setBold(true);
    m_summaryLabel->setFont(summaryFont);
    ui->toolboxDockWidget->setTitleBarWidget(m_summaryLabel);
    // Its figures read left to right in every language.
    m_summaryLabel->setLayoutDirection(Qt::LeftToRight);

    m_timeframeGroup = new QActionGroup(this);
    m_timeframeGroup->setExclusive(true);
    for (QAction *action : {ui->actionM1, ui->actionM5, ui->actionM15, ui->actionM30, ui->actionH1, ui->actionH4,
                            ui->actionD1, ui->actionW1, ui->actionMN})
        m_timeframeGroup->addAction(action);
    ui->actionH1->setChecked(true);
    ui->actionCursor->setChecked(true);

    setupMarketWatch();
    setupTradeTables();
    setupHistoryView();
    for (QTableWidget *table : {ui->symbolTableWidget, ui->tradeTableWidget, ui->netTableWidget,
                                ui->positionTableWidget, ui->orderTableWidget, ui->dealTableWidget}) {
        table->setItemDelegate(new LeftToRightFiguresDelegate(table));
        // Their headers span the width before the first rows arrive too.
        fitColumnsToWidth(table);
    }
    m_journal->setItemDelegate(new LeftToRightFiguresDelegate(m_journal));
    wireClient();
    wireStores();
    wireActions();

    // The chart area is the window's main view; the docks start at a working size. The market
    // watch's seven columns share its width, so it starts wide enough for a whole price or
    // server time in each, in the summary tables' 8-point font.
    QFont cellFont = ui->symbolTableWidget->font();
    cellFont.setPointSize(8);
    const int cellWidth = QFontMetrics(cellFont).horizontalAdvance(QStringLiteral("00:00:00")) + 12;
    resizeDocks({ui->marketWatchDockWidget}, {qMax(340, 7 * cellWidth + 24)}, Qt::Horizontal);
    resizeDocks({ui->toolboxDockWidget}, {220}, Qt::Vertical);
    ui->menuView->addAction(ui->marketWatchDockWidget->toggleViewAction());
    ui->menuView->addAction(ui->navigatorDockWidget->toggleViewAction());
    ui->menuView->addAction(ui->toolboxDockWidget->toggleViewAction());
    updateComponents(false);
    loadAccountTree();

    autoLoginFromAccounts();
}

Client_Terminal::~Client_Terminal()
{
    // The chart windows close after this, with the base class; their activations
    // must not reach a window that is gone.
    disconnect(ui->graphArea, &QMdiArea::subWindowActivated, this, &Client_Terminal::onChartWindowActivated);
    ui.reset();
    Logger::instance()->log(QStringLiteral("Terminal"), QStringLiteral("Closed"));
}

void Client_Terminal::wireClient()
{
    connect(m_client, &TradeClient::chartHistoryReceived, m_chartManager, &ChartManager::updateChartHistoryFromServer);
    connect(m_client, &TradeClient::symbolListReceived, &m_symbolStorage, &SymbolDataStorage::onSymbolListReceived);
    connect(m_client, &TradeClient::loginSuccess, this, &Client_Terminal::onLogin);
    connect(m_client, &TradeClient::loginFail, this, &Client_Terminal::onLoginFailed);
    connect(m_client, &TradeClient::websocketDisconnected, this, &Client_Terminal::onWebsocketClosed);
    connect(m_client, &TradeClient::openPositionsReceived, this, &Client_Terminal::onPosition);
    connect(m_client, &TradeClient::pendingOrdersReceived, this, &Client_Terminal::onOrder);
    connect(m_client, &TradeClient::tradeHistoryReceived, this, &Client_Terminal::historyTableLoad);
    connect(m_client, &TradeClient::tradeResponseReceived, this, &Client_Terminal::onTradeResponse);
}

void Client_Terminal::wireStores()
{
    connect(m_priceBuffer, &PriceDataBuffer::tickUpdated, &m_symbolStorage, &SymbolDataStorage::onUpdatedTicks);
    connect(&m_symbolStorage, &SymbolDataStorage::tickChanged, this, &Client_Terminal::onPrice);
    connect(&m_symbolStorage, &SymbolDataStorage::symbolListChanged, this, &Client_Terminal::onSymbolListChanged);
    connect(&m_symbolStorage, &SymbolDataStorage::symbolSettingChanged, this, &Client_Terminal::onSymbolSettingChanged);
    connect(&m_positionStore, &PositionDataStore::positionProfitChanged, this, &Client_Terminal::postionPriceChanged);
    connect(&m_positionStore, &PositionDataStore::netProfitChanged, this, &Client_Terminal::showNetProfit);
    connect(&m_positionStore, &PositionDataStore::symbolNetProfitChanged, this,
            &Client_Terminal::onSymbolNetProfitChanged);
    connect(&m_positionStore, &PositionDataStore::openPositionChanged, this, &Client_Terminal::onOpenPositionChanged);
}

void Client_Terminal::wireActions()
{
    connect(ui->symbolTableWidget, &QTableWidget::itemDoubleClicked, this, &Client_Terminal::symbolDoubleClicked);
    connect(ui->tradeTableWidget, &QTableWidget::itemDoubleClicked, this, &Client_Terminal::tradeItemDoubleClicked);
    connect(ui->actionConnect, &QAction::triggered, this, &Client_Terminal::on_actionLogin_to_Trade_Account_triggered);
    connect(ui->actionDisconnect, &QAction::triggered, this, &Client_Terminal::disconnectToBroker);
    connect(ui->actionOpenDemo, &QAction::triggered, this, &Client_Terminal::openDemoAction);
    connect(ui->actionChangePassword, &QAction::triggered, this, &Client_Terminal::changePasswordAction);
    connect(ui->actionCopyTrading, &QAction::triggered, this, &Client_Terminal::openCopyTradingPage);
    connect(ui->actionCalendar, &QAction::triggered, this, &Client_Terminal::openEconomicCalendarPage);
    connect(m_timeframeGroup, &QActionGroup::triggered, this, &Client_Terminal::onTimeframeActionSelected);
    connect(ui->graphArea, &QMdiArea::subWindowActivated, this, &Client_Terminal::onChartWindowActivated);
    connect(m_loginDialog, &QDialog::accepted, this, &Client_Terminal::connectToBroker);
    connect(ui->accountTreeWidget, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *item) { onAccountTreeActivated(item); });
    connect(ui->accountTreeWidget, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { showAccountTreeMenu(pos); });
}

QList<SymbolChartWidget *> Client_Terminal::chartWindows() const
{
    QList<SymbolChartWidget *> charts;
    if (!ui)
        return charts;
    for (QMdiSubWindow *window : ui->graphArea->subWindowList()) {
        if (auto *chart = qobject_cast<SymbolChartWidget *>(window->widget()))
            charts.append(chart);
    }
    return charts;
}

bool Client_Terminal::isDisconnectedSoundRunning() const
{
    return m_disconnectedSoundTimer->isActive();
}

void Client_Terminal::closeEvent(QCloseEvent *event)
{
    saveCurrentWorkspace();
    event->accept();
}

void Client_Terminal::on_actionExit_triggered()
{
    close();
}

void Client_Terminal::on_actionLogin_to_Trade_Account_triggered()
{
    requestBrokerList();
    m_loginDialog->show();
}

void Client_Terminal::onLoginFailed()
{
    // One box at a time: a refusal while it is open would stack another inside its event loop.
    if (m_loginFailOpen)
        return;
    const QScopedValueRollback<bool> open(m_loginFailOpen, true);
    m_sounds->play(SoundEffects::Disconnected);
    const auto answer = QMessageBox::critical(
        this, QStringLiteral("Login fail"), QStringLiteral("Connecting to trade server failed. Try again your login."),
        QMessageBox::Ok);
    if (answer == QMessageBox::Ok)
        on_actionLogin_to_Trade_Account_triggered();
}

void Client_Terminal::disconnectToBroker()
{
    m_client->logout();
    updateComponents(false);
}

void Client_Terminal::updateComponents(bool isLogin)
{
    ui->actionConnect->setEnabled(!isLogin);
    ui->actionDisconnect->setEnabled(isLogin);
    ui->actionChangePassword->setEnabled(isLogin && !readOnlyMode);
}

void Client_Terminal::showReadOnlyRefusal()
{
    QMessageBox::warning(this, QStringLiteral("Warning"),
                         QStringLiteral("Trade operations restricted in Read Only Mode."), QMessageBox::Ok);
}

// Names come from the servers; one of any length must not become the whole title.
static QString shortened(const QString &name)
{
    constexpr int maxChars = 64;
    if (name.size() <= maxChars)
        return name;
    int cut = maxChars - 1;
    if (name.at(cut - 1).isHighSurrogate())
        --cut;
    return name.left(cut) + QChar(0x2026);
}

QString Client_Terminal::windowTitleText() const
{
    // Between leaving an account and the next login no account's workspace is shown.
    if (!m_workspaceOpen)
        return QStringLiteral("KESTRAL");
    QString title =
        QStringLiteral("%1 (%2, %3)").arg(shortened(m_clientName), QString::number(m_login), shortened(m_serverName));
    if (readOnlyMode)
        title += QStringLiteral(" [READ-ONLY MODE]");
    return title;
}

// The volume shown is what the user orders: lots are rounded to whole wire units,
// since truncating the product would send 0.57 lots as 5699.
static qint64 wireVolume(double lots)
{
    return qRound64(lots * 10000.0);
}

void Client_Terminal::doInstantSell(QString symbol, double volume)
{
    m_client->sendRequest({{QStringLiteral("req_code"), 4},
                           {QStringLiteral("type"), 0},
                           {QStringLiteral("order_type"), 1},
                           {QStringLiteral("volume"), wireVolume(volume)},
                           {QStringLiteral("symbol"), symbol}});
}

void Client_Terminal::doInstantBuy(QString symbol, double volume)
{
    m_client->sendRequest({{QStringLiteral("req_code"), 4},
                           {QStringLiteral("type"), 0},
                           {QStringLiteral("order_type"), 0},
                           {QStringLiteral("volume"), wireVolume(volume)},
                           {QStringLiteral("symbol"), symbol}});
}

void Client_Terminal::onTradeResponse(QJsonObject response)
{
    const int status = response.value(QStringLiteral("status")).toInt();
    m_sounds->play(status == 10009 ? SoundEffects::Trade : SoundEffects::Error);
}

void Client_Terminal::onOrder(QJsonObject obj)
{
    m_positionStore.setPendingOrders(obj.value(QStringLiteral("array")).toArray());
}

void Client_Terminal::requestAccountTrades(int login)
{
    m_client->sendRequest({{QStringLiteral("req_code"), 4},
                           {QStringLiteral("type"), 5},
                           {QStringLiteral("login"), login},
                           {QStringLiteral("is_last"), 1}});
}

TickData Client_Terminal::getSymbolSetting(const QString &symbol) const
{
    return m_symbolStorage.lastTick(symbol);
}

void Client_Terminal::onPlayDisconnectedSound()
{
    m_sounds->play(SoundEffects::Disconnected);
}

void Client_Terminal::openCopyTradingPage()
{
    QDesktopServices::openUrl(serviceconfig::webPage(serviceconfig::WebPage::CopyTrading));
}

void Client_Terminal::openEconomicCalendarPage()
{
    QDesktopServices::openUrl(serviceconfig::webPage(serviceconfig::WebPage::EconomicCalendar));
}

void Client_Terminal::onPrice(TickData tick)
{
    updateSymbolRow(tick);
    m_positionStore.onPriceChanged(tick);
    for (SymbolChartWidget *chart : chartWindows()) {
        if (chart->symbol() == tick.symbol)
            chart->updateWithTick(tick);
    }
    emit symbolPriceChanged(tick);
}

void Client_Terminal::onSymbolListChanged(QStringList symbols)
{
    if (m_restorePending) {
        m_restorePending = false;
        if (applyRestoredSymbolList(symbols))
            return;
    }
    if (symbols == m_symbolList)
        return;
    m_symbolList = symbols;
    fillSymbolTable();
}

void Client_Terminal::onSymbolSettingChanged()
{
    for (SymbolChartWidget *chart : chartWindows()) {
        if (!m_symbolStorage.symbolSetting(chart->symbol()).symbol.isEmpty())
            chart->setDigits(m_symbolStorage.digits(chart->symbol()));
    }
    if (ui->graphArea->subWindowList().isEmpty())
        openDefaultCharts();
    setOrderDialogSymbols(m_symbolStorage.symbolNames());
}
