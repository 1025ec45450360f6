// The order dialog: market and pending orders, modifying and deleting orders,
// modifying, closing and closing by an opposite position.
#pragma once

#include "tickdata.h"

#include <QDialog>
#include <QJsonObject>
#include <QStringList>
#include <memory>

class OrderContext;
class TradeClient;

namespace Ui {
class New_Order;
}

class New_Order : public QDialog
{
    Q_OBJECT

public:
    enum Mode { NewOrder = 0, ModifyOrder = 1, ModifyPosition = 2, DeleteOrder = 3, ClosePosition = 4, CloseBy = 10 };

    New_Order(TradeClient *client, OrderContext *context, QWidget *parent = nullptr);
    ~New_Order() override;

    void setCurrentSymbol(const QString &symbol);
    QString currentSymbol() const;
    void setMode(int mode, int ticket);
    int mode() const { return m_mode; }
    bool isWaiting() const { return m_waiting; }

public slots:
    void setSymbolList(const QStringList &symbols);
    void onSymbolPriceChanged(const TickData &tick);
    void onTradeResponse(const QJsonObject &response);
    void sendRequest(const QJsonObject &request);

private slots:
    void on_sellButton_clicked();
    void on_buyButton_clicked();
    void on_placeButton_clicked();
    void on_symbolBox_activated(int index);
    void on_orderTypeBox_currentIndexChanged(int index);
    void on_pendingTypeBox_currentIndexChanged(int index);
    void on_expiryTypeBox_currentIndexChanged(int index);
    void on_closeByGroup_toggled(bool on);

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QJsonObject marketRequest(int orderType) const;
    void applySymbol(const TickData &tick, int digits);
    void showPrices(double bid, double ask, int digits);
    void fillHedges();
    void updateWidgets();
    void setWaiting(bool waiting);
    bool isPendingNewOrder() const;

    std::unique_ptr<Ui::New_Order> m_ui;
    TradeClient *m_client = nullptr;
    OrderContext *m_context = nullptr;
    int m_mode = NewOrder;
    int m_ticket = 0;
    int m_digits = 5;
    bool m_waiting = false;
};
