// The chart window's right-click menu and the colour setters it leads to.
#include "symbolchartwidget.h"

#include "chartobjectlistdialog.h"

#include <QAction>
#include <QActionGroup>
#include <QColorDialog>
#include <QContextMenuEvent>
#include <QDebug>
#include <QLabel>
#include <QMenu>

namespace {

const char *const kTimeframes[] = {"M1", "M5", "M15", "M30", "H1", "H4", "D1", "W1", "MN"};

// A colour the dialog or a file could not name must never reach the plot or a save.
bool takesColor(const QColor &incoming, const QColor &current)
{
    if (!incoming.isValid()) {
        qWarning() << "Invalid chart colour ignored.";
        return false;
    }
    return incoming != current;
}

} // namespace

void SymbolChartWidget::createContextMenu()
{
    m_contextMenu = new QMenu(this);
    QMenu *timeframes = m_contextMenu->addMenu(QStringLiteral("Timeframes"));
    m_timeframeGroup = new QActionGroup(this);
    m_timeframeGroup->setExclusive(true);
    for (const char *label : kTimeframes) {
        QAction *action = timeframes->addAction(QLatin1String(label));
        action->setCheckable(true);
        const int minutes = periodMinutes(action->text());
        action->setChecked(minutes == m_period || (minutes == 40000 && m_period > 39999));
        m_timeframeGroup->addAction(action);
        m_timeframeActions.append(action);
    }
    m_oneClickAction = m_contextMenu->addAction(QStringLiteral("One Click Trading"));
    m_oneClickAction->setCheckable(true);
    QMenu *indicators = m_contextMenu->addMenu(QStringLiteral("Indicators"));
    for (int i = 0; i < IndicatorCount; ++i) {
        m_indicatorActions[i] = indicators->addAction(indicatorName(Indicator(i)));
        m_indicatorActions[i]->setCheckable(true);
    }
    m_objectListAction = m_contextMenu->addAction(QStringLiteral("Object list"));
    QMenu *colors = m_contextMenu->addMenu(QStringLiteral("Change Colors"));
    for (const char *text : {"Background Color", "Trend Line Color", "Bull Candle Color", "Bull Outline Color",
                             "Bear Candle Color", "Bear Outline Color", "Grid Color", "Axis Color"})
        m_colorActions.append(colors->addAction(QString::fromLatin1(text)));
}

QAction *SymbolChartWidget::runContextMenu(const QPoint &globalPos)
{
    return m_contextMenu->exec(globalPos);
}

QColor SymbolChartWidget::chooseColor(const QColor &current, const QString &title)
{
    return QColorDialog::getColor(current, this, title);
}

void SymbolChartWidget::contextMenuEvent(QContextMenuEvent *event)
{
    QAction *chosen = runContextMenu(event->globalPos());
    if (!chosen)
        return;
    if (chosen == m_oneClickAction) {
        setOneClickTradingVisible(chosen->isChecked());
        return;
    }
    if (chosen == m_objectListAction) {
        ChartObjectListDialog dialog(this);
        dialog.exec();
        return;
    }

    struct ColorEntry
    {
        const char *title;
        QColor SymbolChartWidget::*color;
        void (SymbolChartWidget::*setter)(const QColor &);
    };
    // In the order of the "Change Colors" submenu.
    static const ColorEntry colorEntries[] = {
        {"Select Background Color", &SymbolChartWidget::m_backgroundColor, &SymbolChartWidget::setBackgroundColor},
        {"Select Line Color", &SymbolChartWidget::m_trendLineColor, &SymbolChartWidget::setTrendLineColor},
        {"Select Candle Color", &SymbolChartWidget::m_bullCandleColor, &SymbolChartWidget::setBullCandleColor},
        {"Select Candle Pen Color", &SymbolChartWidget::m_bullOutlineColor, &SymbolChartWidget::setBullOutlineColor},
        {"Select Candle Color", &SymbolChartWidget::m_bearCandleColor, &SymbolChartWidget::setBearCandleColor},
        {"Select Candle Pen Color", &SymbolChartWidget::m_bearOutlineColor, &SymbolChartWidget::setBearOutlineColor},
        {"Select Grid Color", &SymbolChartWidget::m_gridColor, &SymbolChartWidget::setGridColor},
        {"Select Axis Color", &SymbolChartWidget::m_axisColor, &SymbolChartWidget::setAxisColor},
    };
    if (const int entry = m_colorActions.indexOf(chosen); entry >= 0) {
        const ColorEntry &colorEntry = colorEntries[entry];
        const QColor color = chooseColor(this->*colorEntry.color, QLatin1String(colorEntry.title));
        // A cancelled dialog gives an invalid colour.
        if (!color.isValid() || color == this->*colorEntry.color)
            return;
        (this->*colorEntry.setter)(color);
        // The drawn-object setter leaves the replot to its caller.
        if (colorEntry.setter == &SymbolChartWidget::setTrendLineColor)
            replot(rpRefreshHint);
        return;
    }

    axisRect()->setMinimumSize(axisRect()->minimumSize().width(), height() / 2);
    m_indicatorLabel->setText(chosen->text());
    int indicator = 0;
    while (indicator < IndicatorCount && chosen->text() != indicatorName(Indicator(indicator)))
        ++indicator;
    if (indicator == IndicatorCount) {
        onTimeframeChanged(chosen);
    } else if (m_graphs[indicator].pane) {
        togglePane(Indicator(indicator));
    } else {
        for (const auto &line : qAsConst(m_graphs[indicator].lines))
            line.second->setVisible(!line.second->visible());
    }
    updateIndicators();
    saveIndicatorSettings();
}

void SymbolChartWidget::togglePane(Indicator indicator)
{
    QCPAxisRect *pane = m_graphs[indicator].pane;
    if (pane->visible()) {
        removeFromLayout(pane);
        // Taking an element leaves its row empty; simplify closes the gap.
        plotLayout()->simplify();
        pane->setVisible(false);
    } else {
        plotLayout()->addElement(pane);
        pane->setVisible(true);
    }
}

// Panes switched on from saved settings, or a window resized, must not squeeze the
// prices under the one-click panel: the price pane keeps half the window's height.
void SymbolChartWidget::keepPricePaneHeight()
{
    const int shown =
        int(std::count_if(m_panes.cbegin(), m_panes.cend(), [](const QCPAxisRect *pane) { return pane->visible(); }));
    if (shown == 0)
        return;
    axisRect()->setMinimumSize(axisRect()->minimumSize().width(), height() / 2);
    // The panes share what is left; with many of them their empty top and bottom
    // margins give way, or their minimum would win over the price pane's.
    const QMargins main = axisRect()->margins();
    const int room = height() - height() / 2 - main.top() - main.bottom();
    const int edge = std::clamp(room / shown / 2, 0, 15);
    for (QCPAxisRect *pane : m_panes) {
        pane->setMinimumSize(pane->minimumSize().width(), 0);
        QMargins margins = pane->minimumMargins();
        margins.setTop(edge);
        margins.setBottom(edge);
        pane->setMinimumMargins(margins);
    }
}

// ---------------------------------------------------------------- colour setters

void SymbolChartWidget::setBackgroundColor(const QColor &color)
{
    if (!takesColor(color, m_backgroundColor))
        return;
    m_backgroundColor = color;
    setBackground(QBrush(color, Qt::SolidPattern));
}

void SymbolChartWidget::setAxisColor(const QColor &color)
{
    if (!takesColor(color, m_axisColor))
        return;
    m_axisColor = color;
    m_infoLabel->setStyleSheet(labelStyleSheet(color));
    m_indicatorLabel->setStyleSheet(labelStyleSheet(color));
    for (QCPAxis *axis : {yAxis2, xAxis}) {
        axis->setBasePen(QPen(color));
        axis->setTickPen(QPen(color));
        axis->setTickLabelColor(color);
    }
    for (QCPAxisRect *pane : m_panes) {
        QCPAxis *right = pane->axis(QCPAxis::atRight);
        right->setTickLabelColor(color);
        right->setBasePen(QPen(color));
    }
}

void SymbolChartWidget::setGridColor(const QColor &color)
{
    if (!takesColor(color, m_gridColor))
        return;
    m_gridColor = color;
    QPen pen = yAxis2->grid()->pen();
    pen.setColor(color);
    yAxis2->grid()->setPen(pen);
    xAxis->grid()->setPen(pen);
}

void SymbolChartWidget::setBullCandleColor(const QColor &color)
{
    if (!takesColor(color, m_bullCandleColor))
        return;
    m_bullCandleColor = color;
    m_candlesticks->setBrushPositive(QBrush(color, Qt::SolidPattern));
    replot(rpRefreshHint);
}

void SymbolChartWidget::setBearCandleColor(const QColor &color)
{
    if (!takesColor(color, m_bearCandleColor))
        return;
    m_bearCandleColor = color;
    m_candlesticks->setBrushNegative(QBrush(color, Qt::SolidPattern));
    replot(rpRefreshHint);
}

void SymbolChartWidget::setBullOutlineColor(const QColor &color)
{
    if (!takesColor(color, m_bullOutlineColor))
        return;
    m_bullOutlineColor = color;
    m_candlesticks->setPenPositive(QPen(color));
    replot(rpRefreshHint);
}

void SymbolChartWidget::setBearOutlineColor(const QColor &color)
{
    if (!takesColor(color, m_bearOutlineColor))
        return;
    m_bearOutlineColor = color;
    m_candlesticks->setPenNegative(QPen(color));
    replot(rpRefreshHint);
}
