// The terminal's main window. Its slots are spread over several files, one concern
// each; every group below names the file that implements it.
#pragma once

#include "accountsummary.h"
#include "brokerserver.h"
#include "historytables.h"
#include "position.h"
#include "positiondatastore.h"
#include "positiontables.h"
#include "symboldatastorage.h"
#include "tablerowindex.h"
#include "tickdata.h"
#include <QFont>
#include <QJsonObject>
#include <QMainWindow>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>

class AboutDialog;
class ChangePasswordDlg;
class ChartManager;
class ClientLanguage;
class JournalWidget;
class LoginDialog;
class New_Order;
class OpenDemoDlg;
class PriceDataBuffer;
class QAction;
class QActionGroup;
class QLabel;
class QMdiSubWindow;
class QMenu;
class QNetworkAccessManager;
class QNetworkReply;
class QTableWidget;
class QTableWidgetItem;
class QTimer;
class QTranslator;
class QTreeWidgetItem;
class SoundEffects;
class SymbolChartWidget;
class TradeClient;

namespace Ui {
class Client_Terminal;
}

class Client_Terminal : public QMainWindow
{
    Q_OBJECT

public:
    explicit Client_Terminal(TradeClient *client, QWidget *parent = nullptr);
    ~Client_Terminal() override;

    // For the order dialog and the tests.
    TradeClient *tradeClient() const { return m_client; }
    LoginDialog *loginDialog() const { return m_loginDialog; }
    ChartManager *chartManager() const { return m_chartManager; }
    SymbolDataStorage &symbolStorage() { return m_symbolStorage; }
    PositionDataStore &positionStore() { return m_positionStore; }
    JournalWidget *journal() const { return m_journal; }
    const QVector<BrokerServer> &servers() const { return m_servers; }
    qint64 login() const { return m_login; }
    QString serverName() const { return m_serverName; }
    QList<SymbolChartWidget *> chartWindows() const;
    bool isDisconnectedSoundRunning() const;

    // --- clientterminal.cpp: sounds, one-click orders, order-dialog look-ups ---
    TickData getSymbolSetting(const QString &symbol) const;
    void requestAccountTrades(int login);

    // --- clientterminal_accounts.cpp: accounts and workspace ---
    void saveWorkspace(qint64 login, const QString &password, const QString &serverName, const QString &address,
                       const QStringList &symbols);
    void restoreWorkspace(qint64 login, const QString &serverName);
    void autoLoginFromAccounts();
    void clearUI();
    void loadAccountTree();

    // --- clientterminal_charts.cpp ---
    SymbolChartWidget *createNewChart(const QString &symbol, int period = 60);
    void openDefaultCharts();

    // --- clientterminal_marketwatch.cpp ---
    void fillSymbolTable();
    void buildColumnsMenu();
    void updateSymbolRow(const TickData &tick);

    // --- clientterminal_tradetables.cpp ---
    void tradeTableLoad();
    void updateAccountSummary(double netProfit);
    void formatSummaryTable(QTableWidget *table);
    void sendCloseAllRequest(int subType);
    Position getPosition(int ticket) const;
    QList<Position> getHedgePositions(int ticket) const;
    PendingOrder getOrder(int ticket) const;

    // --- clientterminal_orders.cpp ---
    void showOrderDialog(const QString &symbol);

    // --- clientterminal_history.cpp ---
    // Where the statement goes: the user picks the file unless a test sets a chooser.
    std::function<QString(const QString &proposedName)> statementPathChooser;
    void saveAccountStatement();

signals:
    void symbolPriceChanged(TickData tick);

public slots:
    // --- clientterminal.cpp: connection actions, sounds, trade replies, web pages ---
    void on_actionLogin_to_Trade_Account_triggered();
    void onLoginFailed();
    void disconnectToBroker();
    void updateComponents(bool isLogin);
    void doInstantSell(QString symbol, double volume);
    void doInstantBuy(QString symbol, double volume);
    void onTradeResponse(QJsonObject response);
    void onOrder(QJsonObject obj);
    void onPlayDisconnectedSound();
    void openCopyTradingPage();
    void openEconomicCalendarPage();
    void onPrice(TickData tick);
    void onSymbolListChanged(QStringList symbols);
    void onSymbolSettingChanged();
    void on_actionExit_triggered();

    // --- clientterminal_accounts.cpp: broker list, log-in and log-out, saved accounts ---
    void onBrokerListReceived(QNetworkReply *reply);
    void connectToBroker();
    void onLogin(QJsonObject reply);
    void onWebsocketClosed();
    void relogin(int login, QString password, QString serverName);
    void openLoginDialogFor(QString serverName, int login);
    void deleteSavedAccount(QString serverName, qint64 login);
    void onPasswordChanged(bool mainPassword, const QString &newPassword);

    // --- clientterminal_charts.cpp ---
    void showChartGraph(QString symbol);
    void onTimeframeChanged(int interval);
    void onTimeframeActionSelected(QAction *action);
    void onChartWindowActivated(QMdiSubWindow *window);
    void on_actionCursor_triggered();
    void on_actionCrosshair_triggered();
    void on_actionHorizontal_Line_triggered();
    void on_actionVertical_Line_triggered();
    void on_actionTrendline_triggered();
    void on_actionFibonacciRetracement_triggered();
    void on_actionBar_Chart_triggered();
    void on_actionCandlesticks_triggered();
    void onDrawStateFinished();

    // --- clientterminal_marketwatch.cpp ---
    void showTickContextMenu(QPoint pos);
    void toggleSymbolColumn(int column, bool checked);
    void on_symbolTableWidget_itemSelectionChanged();

    // --- clientterminal_tradetables.cpp ---
    void onPosition(QJsonObject obj);
    void postionPriceChanged(Position position);
    void onSymbolNetProfitChanged(QString symbol, int symbol_positions, double symbol_buy_volume,
                                  double symbol_buy_price, double symbol_sell_volume, double symbol_sell_price,
                                  double symbol_net_profit);
    void showNetProfit(double netProfit);
    void onOpenPositionChanged();
    void onCloseTrade(int ticket, int kind);

    // --- clientterminal_history.cpp ---
    void historyTableLoad(QJsonObject obj);
    void historySwitch(int index);
    void historyTableContext(QPoint pos);
    void showPositionsHistory();

    // --- clientterminal_orders.cpp ---
    void on_actionNew_Order_triggered();
    void symbolDoubleClicked(QTableWidgetItem *item);
    void tradeItemDoubleClicked(QTableWidgetItem *item);
    void openDemoAction();
    void changePasswordAction();
    void switchLanguage(QString languageFile);
    void on_actionAbout_triggered();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // --- clientterminal.cpp ---
    void wireClient();
    void wireStores();
    void wireActions();
    void showReadOnlyRefusal();
    QString windowTitleText() const;

    // --- clientterminal_tradetables.cpp ---
    void askHistoryOnceRepliesHandled();

    // --- clientterminal_accounts.cpp ---
    void requestBrokerList();
    // Every connection starts here, so the server name of the session is known.
    bool connectClient(const QString &url, qint64 login, const QString &password, const QString &serverName);
    void saveCurrentWorkspace();
    // Takes the password out of ACCOUNTS and the account's "login" file, now.
    void forgetSavedPassword(qint64 login, const QString &serverName);
    void keepPasswordOfThisAccount(const QString &password);
    // The logged-in account's entry in ACCOUNTS, marked online, and its "login" file.
    void storeAccount();
    // Writes the account's "login" file; with no password, only takes it out of an existing one.
    bool keepLoginFile(qint64 login, const QString &password, const QString &serverName, const QString &address);
    bool warnIfUnsafeServerName(const QString &serverName);
    void onAccountTreeActivated(QTreeWidgetItem *item);
    void logInFromTree(const QString &serverName, int login, const QString &password);
    void showAccountTreeMenu(QPoint pos);
    bool applyRestoredSymbolList(const QStringList &offered);

    // --- clientterminal_marketwatch.cpp: context menus, search, column menu ---
    void setupMarketWatch();
    void showSymbolDialog();
    // --- clientterminal_tradetables.cpp: headers, context menus ---
    void setupTradeTables();
    void showTradeContextMenu(QPoint pos);
    // --- clientterminal_history.cpp: history switch, context menu ---
    void setupHistoryView();
    void requestHistory(const QString &choice, const QJsonObject &request);
    void requestCustomHistory();
    // --- clientterminal_orders.cpp: the order, demo-account, change-password and about
    // dialogs and the language object, created where the construction order places them ---
    void createDialogs();
    void createLanguageMenu();
    // Hands the store's symbol names to the order dialog after a symbol-list change.
    void setOrderDialogSymbols(const QStringList &symbols);

    // Construction order matters: the stores come before the form, the client never belongs to us.
    TradeClient *m_client = nullptr;
    PositionDataStore m_positionStore;
    SymbolDataStorage m_symbolStorage;
    LoginDialog *m_loginDialog = nullptr;
    AboutDialog *m_aboutDialog = nullptr;
    std::unique_ptr<Ui::Client_Terminal> ui;
    ClientLanguage *m_language = nullptr;
    PriceDataBuffer *m_priceBuffer = nullptr;
    ChartManager *m_chartManager = nullptr;
    JournalWidget *m_journal = nullptr;
    QNetworkAccessManager *m_brokerNetwork = nullptr;
    New_Order *m_orderDialog = nullptr;
    OpenDemoDlg *m_openDemoDialog = nullptr;
    ChangePasswordDlg *m_changePasswordDialog = nullptr;
    QTranslator *m_translator = nullptr;
    SoundEffects *m_sounds = nullptr;
    QTimer *m_disconnectedSoundTimer = nullptr;
    QActionGroup *m_timeframeGroup = nullptr;
    QMenu *m_columnsMenu = nullptr;
    // Bold, weight 75: the footer rows of the trade, net and history tables.
    QFont m_footerFont;
    // The account summary line, the title-bar widget of the toolbox dock.
    QLabel *m_summaryLabel = nullptr;

    // Connection and account.
    QVector<BrokerServer> m_servers;
    qint64 m_login = 0;
    QString m_password;
    QString m_serverName;
    QString m_connectingServerName;
    // From a login until the account is left: only then does the window hold its workspace.
    bool m_workspaceOpen = false;
    QStringList m_warnedServerNames;
    QString m_clientName;
    QString m_group;
    bool m_loginFailOpen = false;
    bool m_historyRequestDue = false;

    // Market watch.
    QStringList m_symbolList;
    // Ticks find their row without a walk over the market watch.
    TableRowIndex m_symbolRows{0};
    QString m_currentSymbol;
    // The list restored from the workspace, kept until the server's first symbol list
    // after the restore, so that symbols the user hid stay hidden.
    QStringList m_restoredSymbols;
    bool m_restorePending = false;

    // Trade table: the row of each position's ticket.
    TableRowIndex m_positionRows{1, QStringLiteral("position")};
    NetTable m_netTable;
    TradeTable m_tradeTable;
    TradeHistoryView m_historyView;
    SummaryInputs m_summaryInputs;

    // Account figures of the last open-positions reply.
    double m_balance = 0.0;
    double m_margin = 0.0;
    double m_credit = 0.0;
    double m_swapSum = 0.0;
};
