#include "new_order.h"
#include "ui_new_order.h"

#include "jsonreadings.h"
#include "logger.h"
#include "ordercontext.h"
#include "tradeclient.h"
#include "tradereturncodes.h"

#include <QDateTime>
#include <QEvent>
#include <QLayout>
#include <QShowEvent>

#include <cmath>

namespace {

constexpr int pendingTypeOffset = 2;
constexpr int stopLimitFirstIndex = 4;
constexpr int specifiedExpiryIndex = 2;

// The nearest whole volume unit: a plain cast would send 0.57 lots as 5699.
qint64 volumeUnits(double lots)
{
    return qRound64(lots * 10000.0);
}

} // namespace

New_Order::New_Order(TradeClient *client, OrderContext *context, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::New_Order>())
    , m_client(client)
    , m_context(context)
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    if (m_client)
        connect(m_client, &TradeClient::tradeResponseReceived, this, &New_Order::onTradeResponse);
    if (m_context)
        setSymbolList(m_context->symbolNames());
    updateWidgets();
}

New_Order::~New_Order() = default;

void New_Order::setSymbolList(const QStringList &symbols)
{
    const QString current = currentSymbol();
    QSignalBlocker blocker(m_ui->symbolBox);
    m_ui->symbolBox->clear();
    m_ui->symbolBox->addItems(symbols);
    if (!current.isEmpty()) {
        if (m_ui->symbolBox->findText(current) < 0)
            m_ui->symbolBox->addItem(current);
        m_ui->symbolBox->setCurrentText(current);
    }
}

QString New_Order::currentSymbol() const
{
    return m_ui->symbolBox->currentText();
}

void New_Order::setCurrentSymbol(const QString &symbol)
{
    if (symbol == currentSymbol())
        return;
    QSignalBlocker blocker(m_ui->symbolBox);
    if (m_ui->symbolBox->findText(symbol) < 0)
        m_ui->symbolBox->addItem(symbol);
    m_ui->symbolBox->setCurrentText(symbol);
}

void New_Order::setMode(int mode, int ticket)
{
    m_mode = mode;
    m_ticket = ticket;
    // A reply that never came must not keep a reopened dialog locked.
    setWaiting(false);
    m_ui->statusLabel->clear();
    {
        QSignalBlocker blocker(m_ui->closeByGroup);
        m_ui->closeByGroup->setChecked(mode == CloseBy);
    }
    if (mode == ClosePosition || mode == CloseBy)
        fillHedges();
    updateWidgets();

    const TickData tick = m_context ? m_context->getSymbolSetting(currentSymbol()) : TickData();
    if (mode == ClosePosition && tick.symbol.isEmpty())
        return;

    int digits = tick.symbol.isEmpty() ? m_digits : tick.digits;
    double volume = tick.minVol;
    double price = tick.ask;
    double stopPrice = 0.0;
    double sl = 0.0;
    double tp = 0.0;
    if (m_context && (mode == ModifyOrder || mode == DeleteOrder)) {
        const PendingOrder order = m_context->getOrder(ticket);
        volume = order.volume;
        price = order.price;
        stopPrice = order.stopPrice;
        sl = order.sl;
        tp = order.tp;
        if (tick.symbol.isEmpty())
            digits = order.digits;
        QSignalBlocker blocker(m_ui->pendingTypeBox);
        m_ui->pendingTypeBox->setCurrentIndex(
            qBound(0, order.type - pendingTypeOffset, m_ui->pendingTypeBox->count() - 1));
    } else if (m_context && mode != NewOrder) {
        const Position position = m_context->getPosition(ticket);
        volume = position.volume;
        price = position.currentPrice > 0 ? position.currentPrice : position.price;
        sl = position.sl;
        tp = position.tp;
        if (tick.symbol.isEmpty())
            digits = position.digits;
    }
    applySymbol(tick, digits);
    m_ui->tickGraph->clearTicks();
    if (!tick.symbol.isEmpty())
        m_ui->tickGraph->addTick(tick);
    m_ui->volumeSpin->setValue(volume);
    m_ui->priceSpin->setValue(price);
    m_ui->stopLimitSpin->setValue(stopPrice);
    m_ui->slSpin->setValue(sl);
    m_ui->tpSpin->setValue(tp);
    updateWidgets();
    adjustSize();
}

void New_Order::applySymbol(const TickData &tick, int digits)
{
    m_digits = jsonreading::boundedDigits(digits);
    const double step = 1.0 / std::pow(10.0, m_digits);
    for (QDoubleSpinBox *box : {m_ui->priceSpin, m_ui->stopLimitSpin, m_ui->slSpin, m_ui->tpSpin}) {
        box->setDecimals(m_digits);
        box->setSingleStep(step);
    }
    // Without a tick the symbol's default limits apply: 0.01 to 10 lots in 0.01 steps.
    const double minVol = tick.minVol > 0 ? tick.minVol : 0.01;
    const double maxVol = tick.maxVol >= minVol ? tick.maxVol : qMax(10.0, minVol);
    const double stepVol = tick.stepVol > 0 ? tick.stepVol : 0.01;
    m_ui->volumeSpin->setRange(minVol, maxVol);
    m_ui->volumeSpin->setSingleStep(stepVol);
    showPrices(tick.bid, tick.ask, m_digits);
}

void New_Order::showPrices(double bid, double ask, int digits)
{
    m_ui->bidLabel->setText(QString::number(bid, 'f', digits));
    m_ui->askLabel->setText(QString::number(ask, 'f', digits));
}

void New_Order::onSymbolPriceChanged(const TickData &tick)
{
    if (tick.symbol.isEmpty() || tick.symbol != currentSymbol())
        return;
    showPrices(tick.bid, tick.ask, m_digits);
    m_ui->tickGraph->addTick(tick);
    if (m_mode == NewOrder && !isPendingNewOrder())
        m_ui->priceSpin->setValue(tick.bid);
}

void New_Order::fillHedges()
{
    m_ui->oppositeBox->clear();
    if (!m_context)
        return;
    const QList<Position> hedges = m_context->getHedgePositions(m_ticket);
    for (const Position &position : hedges) {
        m_ui->oppositeBox->addItem(tr("#%1 %2 %3 at %4")
                                       .arg(position.ticket)
                                       .arg(position.type)
                                       .arg(position.volume, 0, 'f', 2)
                                       .arg(position.price, 0, 'f', jsonreading::boundedDigits(position.digits)),
                                   position.ticket);
    }
}

bool New_Order::isPendingNewOrder() const
{
    return m_ui->orderTypeBox->currentIndex() == 1;
}

void New_Order::updateWidgets()
{
    const bool market = m_mode == NewOrder && !isPendingNewOrder();
    const bool pendingShown = (m_mode == NewOrder && !market) || m_mode == ModifyOrder || m_mode == DeleteOrder;
    const bool closing = m_mode == ClosePosition || m_mode == CloseBy;

    m_ui->symbolBox->setEnabled(m_mode == NewOrder);
    m_ui->orderTypeLabel->setVisible(m_mode == NewOrder);
    m_ui->orderTypeBox->setVisible(m_mode == NewOrder);
    m_ui->volumeSpin->setEnabled(m_mode == NewOrder);
    m_ui->slSpin->setEnabled(m_mode == NewOrder || m_mode == ModifyOrder || m_mode == ModifyPosition);
    m_ui->tpSpin->setEnabled(m_ui->slSpin->isEnabled());
    m_ui->pendingGroup->setVisible(pendingShown);
    m_ui->pendingGroup->setEnabled(m_mode != DeleteOrder);
    m_ui->pendingTypeBox->setEnabled(m_mode == NewOrder);
    // An order being modified may be given a stop-limit price whatever its type.
    const bool stopLimit = m_mode == ModifyOrder ||
                           (pendingShown && m_ui->pendingTypeBox->currentIndex() >= stopLimitFirstIndex);
    m_ui->stopLimitLabel->setEnabled(stopLimit);
    m_ui->stopLimitSpin->setEnabled(stopLimit);
    const bool specified = m_ui->expiryTypeBox->currentIndex() == specifiedExpiryIndex;
    m_ui->expiryLabel->setEnabled(specified);
    m_ui->expiryEdit->setEnabled(specified);
    m_ui->closeByGroup->setVisible(closing && m_ui->oppositeBox->count() > 0);

    m_ui->sellButton->setVisible(market);
    m_ui->buyButton->setVisible(market);
    m_ui->placeButton->setVisible(!market);

    switch (m_mode) {
    case ModifyOrder:
        setWindowTitle(tr("Modify Order #%1").arg(m_ticket));
        m_ui->placeButton->setText(tr("Modify"));
        break;
    case ModifyPosition:
        setWindowTitle(tr("Modify Position #%1").arg(m_ticket));
        m_ui->placeButton->setText(tr("Modify"));
        break;
    case DeleteOrder:
        setWindowTitle(tr("Delete Order #%1").arg(m_ticket));
        m_ui->placeButton->setText(tr("Delete"));
        break;
    case ClosePosition:
        setWindowTitle(tr("Close Position #%1").arg(m_ticket));
        m_ui->placeButton->setText(tr("Close"));
        break;
    case CloseBy:
        setWindowTitle(tr("Close Position #%1").arg(m_ticket));
        m_ui->placeButton->setText(tr("Close By"));
        break;
    default:
        setWindowTitle(tr("Order"));
        m_ui->placeButton->setText(tr("Place"));
        break;
    }
}

void New_Order::on_symbolBox_activated(int)
{
    if (m_mode == NewOrder)
        setMode(NewOrder, 0);
}

void New_Order::on_orderTypeBox_currentIndexChanged(int)
{
    updateWidgets();
    // The layout grows the dialog for the pending part but never gives the room back.
    if (isVisible()) {
        layout()->activate();
        resize(width(), sizeHint().height());
    }
}

void New_Order::on_pendingTypeBox_currentIndexChanged(int)
{
    updateWidgets();
}

void New_Order::on_expiryTypeBox_currentIndexChanged(int)
{
    updateWidgets();
}

void New_Order::on_closeByGroup_toggled(bool on)
{
    m_mode = on ? CloseBy : ClosePosition;
    updateWidgets();
}

QJsonObject New_Order::marketRequest(int orderType) const
{
    QJsonObject request{{QStringLiteral("req_code"), 4},
                        {QStringLiteral("type"), 0},
                        {QStringLiteral("order_type"), orderType},
                        {QStringLiteral("volume"), volumeUnits(m_ui->volumeSpin->value())},
                        {QStringLiteral("symbol"), currentSymbol()},
                        {QStringLiteral("price"), m_ui->priceSpin->value()}};
    if (m_ui->tpSpin->value() > 0)
        request.insert(QStringLiteral("tp"), m_ui->tpSpin->value());
    if (m_ui->slSpin->value() > 0)
        request.insert(QStringLiteral("sl"), m_ui->slSpin->value());
    return request;
}

void New_Order::on_sellButton_clicked()
{
    if (m_waiting)
        return;
    Logger::instance()->log(
        QStringLiteral("Sell Order"),
        QStringLiteral("Sell Order: Symbol: %1, Volume: %2").arg(currentSymbol()).arg(m_ui->volumeSpin->value()));
    sendRequest(marketRequest(1));
}

void New_Order::on_buyButton_clicked()
{
    if (m_waiting)
        return;
    Logger::instance()->log(
        QStringLiteral("Buy Order"),
        QStringLiteral("Buy Order: Symbol: %1, Volume: %2").arg(currentSymbol()).arg(m_ui->volumeSpin->value()));
    sendRequest(marketRequest(0));
}

void New_Order::on_placeButton_clicked()
{
    if (m_waiting)
        return;
    if (m_mode == ClosePosition) {
        sendRequest(QJsonObject{
            {QStringLiteral("req_code"), 4}, {QStringLiteral("type"), 4}, {QStringLiteral("order_id"), m_ticket}});
        return;
    }
    QJsonObject request{{QStringLiteral("req_code"), 4},
                        {QStringLiteral("type"), m_mode},
                        {QStringLiteral("order_id"), m_mode == NewOrder ? 0 : m_ticket},
                        {QStringLiteral("order_type"), m_ui->pendingTypeBox->currentIndex() + pendingTypeOffset},
                        {QStringLiteral("price"), m_ui->priceSpin->value()},
                        {QStringLiteral("sl"), m_ui->slSpin->value()},
                        {QStringLiteral("tp"), m_ui->tpSpin->value()},
                        {QStringLiteral("volume"), volumeUnits(m_ui->volumeSpin->value())},
                        {QStringLiteral("symbol"), currentSymbol()},
                        {QStringLiteral("t_time"), m_ui->expiryTypeBox->currentIndex()}};
    if (m_ui->stopLimitSpin->isEnabled())
        request.insert(QStringLiteral("s_price"), m_ui->stopLimitSpin->value());
    if (m_ui->expiryTypeBox->currentIndex() == specifiedExpiryIndex) {
        const qint64 minutes = QDateTime::currentDateTime().secsTo(m_ui->expiryEdit->dateTime()) / 60;
        if (minutes > 0)
            request.insert(QStringLiteral("exp_mins"), minutes);
    }
    if (m_mode == CloseBy) {
        request.insert(QStringLiteral("position_id"), m_ticket);
        request.insert(QStringLiteral("position_by_id"), m_ui->oppositeBox->currentData().toLongLong());
    }
    sendRequest(request);
}

void New_Order::sendRequest(const QJsonObject &request)
{
    if (request.contains(QStringLiteral("order_id")))
        Logger::instance()->log(
            QStringLiteral("Order Request"),
            QStringLiteral("Pending Order Request: %1").arg(request.value(QStringLiteral("symbol")).toString()));
    setWaiting(true);
    m_ui->statusLabel->setText(tr("Please wait while request sending..."));
    if (m_client)
        m_client->sendRequest(request);
}

void New_Order::setWaiting(bool waiting)
{
    m_waiting = waiting;
    for (QWidget *button : {m_ui->sellButton, m_ui->buyButton, m_ui->placeButton})
        button->setEnabled(!waiting);
}

void New_Order::onTradeResponse(const QJsonObject &response)
{
    const int status = response.value(QStringLiteral("status")).toInt();
    const QString msg = response.value(QStringLiteral("msg")).toString();
    const int type = response.value(QStringLiteral("type")).toInt();
    const QString failReason = response.value(QStringLiteral("fail_reason")).toString();

    if (status > 0 && (type == 4 || type == 6 || type == 9) && m_client) {
        m_client->sendRequest(QJsonObject{
            {QStringLiteral("req_code"), 4}, {QStringLiteral("type"), 5}, {QStringLiteral("login"), m_client->login}});
    }

    const QString text = tradereturn::message(status);
    Logger::instance()->log(QStringLiteral("Trade Response"), QStringLiteral("%1 (%2)").arg(text).arg(status));

    // Replies to trades sent from elsewhere (one-click, close all) leave the dialog as it is.
    if (!m_waiting)
        return;
    setWaiting(false);
    if (status == tradereturn::done) {
        m_ui->statusLabel->clear();
        hide();
        return;
    }
    QStringList lines{text};
    if (!msg.isEmpty())
        lines << msg;
    if (!failReason.isEmpty())
        lines << failReason;
    m_ui->statusLabel->setText(lines.join(QLatin1Char('\n')));
}

void New_Order::showEvent(QShowEvent *event)
{
    // A day from now, as the dialog may have been built long before it opens.
    if (!event->spontaneous())
        m_ui->expiryEdit->setDateTime(QDateTime::currentDateTime().addDays(1));
    QDialog::showEvent(event);
}

void New_Order::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        m_ui->retranslateUi(this);
        updateWidgets();
    }
    QDialog::changeEvent(event);
}
