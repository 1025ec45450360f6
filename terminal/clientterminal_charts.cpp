// Chart windows in the chart area: creation, default charts, timeframes, drawing
// tools and chart style.
#include "clientterminal.h"
#include "ui_clientterminal.h"

#include "chartmanager.h"
#include "diagnostics.h"
#include "symbolchartwidget.h"
#include <QDebug>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <exception>

SymbolChartWidget *Client_Terminal::createNewChart(const QString &symbol, int period)
{
    if (!m_chartManager || !ui || !ui->graphArea) {
        qCritical() << "Chart manager or graph area is not initialized!";
        return nullptr;
    }
    try {
        qCDebug(lcKestral) << "Creating new chart for symbol:" << symbol << "with period:" << period;
        auto *chart = new SymbolChartWidget(m_chartManager, symbol, period, this);
        qCDebug(lcKestral) << "Chart widget created for symbol:" << symbol;
        QMdiSubWindow *window = ui->graphArea->addSubWindow(chart);
        const auto title = [symbol](int minutes) {
            return QStringLiteral("%1,%2").arg(symbol, SymbolChartWidget::periodLabel(minutes));
        };
        window->setWindowTitle(title(period));
        connect(chart, &SymbolChartWidget::timeframeChanged, window,
                [window, title](int minutes) { window->setWindowTitle(title(minutes)); });
        qCDebug(lcKestral) << "Chart added to graph area.";
        // Prices read right while the market is closed and no tick comes.
        chart->setDigits(m_symbolStorage.digits(symbol));
        const TickData tick = m_symbolStorage.lastTick(symbol);
        if (!tick.symbol.isEmpty()) {
            qCDebug(lcKestral) << "Tick data found for symbol:" << symbol;
            chart->updateWithTick(tick);
        } else {
            qCDebug(lcKestral) << "No tick data available for symbol:" << symbol;
            chart->updateWithTick(TickData());
        }
        window->show();
        qCDebug(lcKestral) << "Chart shown successfully.";
        connect(chart, &SymbolChartWidget::sell, this, &Client_Terminal::doInstantSell);
        connect(chart, &SymbolChartWidget::buy, this, &Client_Terminal::doInstantBuy);
        // The toolbar shows the active chart's period only, whichever chart switched.
        connect(
            chart, &SymbolChartWidget::timeframeChanged, this,
            [this, window](int minutes) {
                if (ui->graphArea->activeSubWindow() == window)
                    onTimeframeChanged(minutes);
            },
            Qt::QueuedConnection);
        connect(chart, &SymbolChartWidget::drawStateFinished, this, &Client_Terminal::onDrawStateFinished);
        return chart;
    } catch (const std::exception &error) {
        qCritical() << "Error creating chart for symbol:" << symbol << "Error:" << error.what();
        return nullptr;
    }
}

void Client_Terminal::openDefaultCharts()
{
    for (const QString &symbol : m_symbolList.mid(0, 4))
        createNewChart(symbol, SymbolChartWidget::DefaultPeriod);
    ui->graphArea->tileSubWindows();
}

void Client_Terminal::showChartGraph(QString symbol)
{
    createNewChart(symbol, SymbolChartWidget::DefaultPeriod);
}

void Client_Terminal::onTimeframeChanged(int interval)
{
    QAction *action = ui->actionMN;
    switch (interval) {
    case 1:
        action = ui->actionM1;
        break;
    case 5:
        action = ui->actionM5;
        break;
    case 15:
        action = ui->actionM15;
        break;
    case 30:
        action = ui->actionM30;
        break;
    case 60:
        action = ui->actionH1;
        break;
    case 240:
        action = ui->actionH4;
        break;
    case 1440:
        action = ui->actionD1;
        break;
    case 10080:
        action = ui->actionW1;
        break;
    default:
        break;
    }
    action->setChecked(true);
}

void Client_Terminal::onTimeframeActionSelected(QAction *action)
{
    QMdiSubWindow *window = ui->graphArea->activeSubWindow();
    if (auto *chart = window ? qobject_cast<SymbolChartWidget *>(window->widget()) : nullptr)
        chart->onTimeframeChanged(action);
}

// The toolbar shows the period of the chart it would change.
void Client_Terminal::onChartWindowActivated(QMdiSubWindow *window)
{
    if (auto *chart = window ? qobject_cast<SymbolChartWidget *>(window->widget()) : nullptr)
        onTimeframeChanged(chart->period());
}

static void setDrawingMode(const QList<SymbolChartWidget *> &charts, int mode)
{
    for (SymbolChartWidget *chart : charts)
        chart->setDrawingMode(mode);
}

void Client_Terminal::on_actionCursor_triggered()
{
    setDrawingMode(chartWindows(), 0);
}

void Client_Terminal::on_actionCrosshair_triggered()
{
    for (SymbolChartWidget *chart : chartWindows()) {
        chart->setDrawingMode(3);
        chart->showCrosshair();
    }
}

void Client_Terminal::on_actionHorizontal_Line_triggered()
{
    setDrawingMode(chartWindows(), 1);
}

void Client_Terminal::on_actionVertical_Line_triggered()
{
    setDrawingMode(chartWindows(), 2);
}

void Client_Terminal::on_actionTrendline_triggered()
{
    setDrawingMode(chartWindows(), 4);
}

void Client_Terminal::on_actionFibonacciRetracement_triggered()
{
    QMessageBox::information(this, QStringLiteral("Draw Fibonacci Retracement"),
                             QStringLiteral("Click on the highest Candle in chart first."), QMessageBox::Ok);
    setDrawingMode(chartWindows(), 5);
}

void Client_Terminal::on_actionBar_Chart_triggered()
{
    QMdiSubWindow *window = ui->graphArea->activeSubWindow();
    if (auto *chart = window ? qobject_cast<SymbolChartWidget *>(window->widget()) : nullptr)
        chart->setChartStyle(0);
}

void Client_Terminal::on_actionCandlesticks_triggered()
{
    QMdiSubWindow *window = ui->graphArea->activeSubWindow();
    if (auto *chart = window ? qobject_cast<SymbolChartWidget *>(window->widget()) : nullptr)
        chart->setChartStyle(1);
}

void Client_Terminal::onDrawStateFinished()
{
    setDrawingMode(chartWindows(), 0);
    ui->actionCursor->setChecked(true);
}
