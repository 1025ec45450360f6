// The chart window's drawing tools: placing lines and Fibonacci retracements
// with the mouse, the crosshair, the price-axis drag, the hover tool tips over
// indicator graphs, and saving, restoring and removing drawn objects.
#include "symbolchartwidget.h"

#include "axistag.h"
#include "cachedtextitem.h"
#include "chartmanager.h"
#include "diagnostics.h"
#include "jsonreadings.h"
#include "straightlinebatch.h"

#include <QDebug>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QToolTip>
#include <cmath>

namespace {

// One retracement may begin in one chart window and end in another, so its
// first point is held once for the whole program.
struct FibonacciDraft
{
    int step = 0; // 0 waits for the first point, 1 has it
    double firstKey = 0.0;
    double firstPrice = 0.0;
};

FibonacciDraft &fibonacciDraft()
{
    static FibonacciDraft draft;
    return draft;
}

constexpr double kFibonacciLevels[] = {0.0, 23.6, 38.2, 50.0, 61.8, 100.0};

// The nearest bar index for keys of 0 and more.
double snap(double key)
{
    return std::trunc(key + 0.5);
}

struct HoverEntry
{
    const char *label;
    SymbolChartWidget::Indicator indicator;
    const char *line; // "" for an indicator of one line
};

const HoverEntry kHoverEntries[] = {
    {"Bears Power", SymbolChartWidget::BearsPower, ""},
    {"Bulls Power", SymbolChartWidget::BullsPower, ""},
    {"Money Flow Index", SymbolChartWidget::MoneyFlowIndex, ""},
    {"RSI", SymbolChartWidget::Rsi, ""},
    {"Commodity Channel Index", SymbolChartWidget::CommodityChannelIndex, ""},
    {"Momentum", SymbolChartWidget::Momentum, ""},
    {"Standard Deviation", SymbolChartWidget::StandardDeviation, ""},
    {"Force Index", SymbolChartWidget::ForceIndex, ""},
    {"Williams %R", SymbolChartWidget::WilliamsPercentRange, ""},
    {"DeMarker", SymbolChartWidget::DeMarker, ""},
    {"Average True Range", SymbolChartWidget::AverageTrueRange, ""},
    {"On Balance Volume", SymbolChartWidget::OnBalanceVolume, ""},
    {"Accumulation/Distribution", SymbolChartWidget::AccumulationDistribution, ""},
    {"ADX", SymbolChartWidget::Adx, "adx"},
    {"Bollinger", SymbolChartWidget::Bollinger, "bl"},
    {"Moving Average", SymbolChartWidget::MovingAverage, ""},
    {"Parabolic SAR", SymbolChartWidget::ParabolicSar, ""},
    {"Envelope Upper", SymbolChartWidget::Envelopes, "upper"},
    {"Envelope Lower", SymbolChartWidget::Envelopes, "lower"},
    {"Alligator Jaws", SymbolChartWidget::Alligator, "jaws"},
    {"Alligator Teeth", SymbolChartWidget::Alligator, "teeth"},
    {"Alligator Lips", SymbolChartWidget::Alligator, "lips"},
    {"RVI Line 1", SymbolChartWidget::RelativeVigorIndex, "rvi1"},
    {"RVI Line 2", SymbolChartWidget::RelativeVigorIndex, "rvi2"},
};

} // namespace

// ---------------------------------------------------------------- mouse

void SymbolChartWidget::mousePressEvent(QMouseEvent *event)
{
    // A line is being placed or the crosshair is shown.
    if (m_currentDrawingItem)
        return;
    const double key = xAxis->pixelToCoord(event->pos().x());
    const double price = yAxis2->pixelToCoord(event->pos().y());
    switch (m_drawingMode) {
    case 5: {
        const QPointer<SymbolChartWidget> alive(this);
        placeFibonacci(key, price);
        if (!alive)
            return;
        break;
    }
    case 2: {
        // Only the key matters, so the line stays on the default axes.
        QCPItemStraightLine *line = addStraightLine(m_trendLineColor, false);
        line->point1->setCoords(snap(key), 0);
        line->point2->setCoords(snap(key), price);
        m_currentDrawingItem = line;
        const int id = m_objects.nextId();
        m_objects.insert(m_period, id, line, QStringLiteral("Vertical Line %1").arg(id));
        break;
    }
    case 1: {
        QCPItemStraightLine *line = addStraightLine(m_trendLineColor, true);
        line->point1->setCoords(0, price);
        line->point2->setCoords(snap(key), price);
        m_currentDrawingItem = line;
        const int id = m_objects.nextId();
        m_objects.insert(m_period, id, line, QStringLiteral("Horizontal Line %1").arg(id));
        m_currentTag = addLevelTag(price);
        m_objects.setLevelTag(id, m_currentTag);
        break;
    }
    case 4: {
        auto *line = new QCPItemLine(this);
        line->setPen(QPen(m_trendLineColor));
        line->start->setAxes(xAxis, yAxis2);
        line->end->setAxes(xAxis, yAxis2);
        line->start->setCoords(snap(key), price);
        line->end->setCoords(snap(key), price + 1.0);
        m_currentDrawingItem = line;
        const int id = m_objects.nextId();
        m_objects.insert(m_period, id, line, QStringLiteral("Trend Line %1").arg(id));
        break;
    }
    default:
        if (event->button() == Qt::LeftButton) {
            m_lastMousePos = event->pos();
            m_scalingDrag = true;
            QCustomPlot::mousePressEvent(event);
        }
        break;
    }
    replot(rpRefreshHint);
}

void SymbolChartWidget::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pixel = event->pos();
    if (m_scalingDrag) {
        // Moving down enlarges the price range, at most twofold per event.
        const double factor = std::clamp(1.0 + 0.01 * (pixel.y() - m_lastMousePos.y()), 0.5, 2.0);
        const QCPRange range = yAxis2->range();
        const double size = factor * range.size();
        if (size > 0.001 && size < 1000000.0) {
            yAxis2->setRange(range.center() - size / 2, range.center() + size / 2);
            replot(rpRefreshHint);
        }
        m_lastMousePos = pixel;
    }
    showHoverToolTips(event);
    if (!m_currentDrawingItem) {
        QCustomPlot::mouseMoveEvent(event);
        return;
    }
    const double key = xAxis->pixelToCoord(pixel.x());
    const double price = yAxis2->pixelToCoord(pixel.y());
    const auto placeVertical = [key, price](QCPAbstractItem *item) {
        if (auto *line = qobject_cast<QCPItemStraightLine *>(item)) {
            line->point1->setCoords(snap(key), 0);
            line->point2->setCoords(snap(key), price);
        }
    };
    switch (m_drawingMode) {
    case 1:
        placeHorizontal(m_currentDrawingItem, m_currentTag, key, price);
        replot(rpRefreshHint);
        break;
    case 2:
        placeVertical(m_currentDrawingItem);
        replot(rpRefreshHint);
        break;
    case 3:
        placeHorizontal(m_currentDrawingItem, m_currentTag, key, price);
        placeVertical(m_secondDrawingItem);
        replot(rpRefreshHint);
        break;
    case 4:
        if (auto *line = qobject_cast<QCPItemLine *>(m_currentDrawingItem.data()))
            line->end->setCoords(snap(key), price);
        qCDebug(lcKestral).nospace() << snap(key) << ", " << price;
        replot(rpRefreshHint);
        break;
    default:
        // A Fibonacci choice while the crosshair is shown: nothing follows the pointer.
        break;
    }
    QCustomPlot::mouseMoveEvent(event);
}

void SymbolChartWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_scalingDrag = false;
    QCustomPlot::mouseReleaseEvent(event);
    qCDebug(lcKestral) << "mouse release: " << event->button() << event->pos();
    // Also when another tool was chosen while the crosshair was shown, or it would stay for good.
    removeCrosshair();
    const bool placed = m_drawingMode == 1 || m_drawingMode == 2 || m_drawingMode == 4 || m_drawingMode == 5;
    if (placed)
        shareObjects();
    m_drawingMode = 0;
    m_currentDrawingItem = nullptr;
    m_secondDrawingItem = nullptr;
    m_currentTag = nullptr;
    m_drawTimer->start(50);
    emit drawStateFinished();
}

void SymbolChartWidget::placeHorizontal(QCPAbstractItem *item, AxisTag *tag, double key, double price)
{
    if (auto *line = qobject_cast<QCPItemStraightLine *>(item)) {
        line->point1->setCoords(0, price);
        line->point2->setCoords(snap(key), price);
    }
    if (tag) {
        tag->setText(QString::number(price, 'f', jsonreading::boundedDigits(m_digits)));
        tag->updatePosition(price);
    }
}

void SymbolChartWidget::placeFibonacci(double key, double price)
{
    FibonacciDraft &draft = fibonacciDraft();
    if (draft.step == 0) {
        draft.firstKey = key;
        draft.firstPrice = price;
        draft.step = 1;
        QMessageBox::information(this, QStringLiteral("Draw Fibonacci Retracement"),
                                 QStringLiteral("Now click on the lowest Candle."), QMessageBox::Ok);
        return;
    }
    if (draft.step != 1)
        return;
    // 0 % lies at the second click's price and 100 % at the first's, whichever is higher.
    const double high = std::max(draft.firstPrice, price);
    const double low = std::min(draft.firstPrice, price);
    for (const double percent : kFibonacciLevels) {
        const double offset = percent / 100.0 * (high - low);
        const double level = price > draft.firstPrice ? high - offset : low + offset;

        QCPItemStraightLine *line = addStraightLine(Qt::yellow, true);
        line->point1->setCoords(draft.firstKey, level);
        line->point2->setCoords(key, level);
        const int lineId = m_objects.nextId();
        m_objects.insert(m_period, lineId, line, ChartObjectRegistry::fibonacciName(lineId, percent));

        QCPItemText *label = addFibonacciLabel(key, level, percent);
        const int labelId = m_objects.nextId();
        m_objects.insert(m_period, labelId, label, ChartObjectRegistry::fibonacciLabelName(labelId, percent));
    }
    draft.step = 0;
}

QCPItemStraightLine *SymbolChartWidget::addStraightLine(const QColor &color, bool onPriceAxes)
{
    QCPItemStraightLine *line = m_lineBatch->addLine();
    line->setPen(QPen(color));
    // Every straight line drawn here runs along an axis, where smoothing only
    // blurs it over two pixel rows and costs a stroker pass per line per replot.
    line->setAntialiased(false);
    if (onPriceAxes) {
        line->point1->setAxes(xAxis, yAxis2);
        line->point2->setAxes(xAxis, yAxis2);
    }
    return line;
}

QCPItemText *SymbolChartWidget::addFibonacciLabel(double key, double price, double percent)
{
    auto *label = new CachedTextItem(this);
    label->setPositionAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->position->setAxes(xAxis, yAxis2);
    label->position->setCoords(key, price);
    label->setText(QString::number(percent, 'g', 6) + QLatin1Char('%'));
    label->setColor(Qt::yellow);
    return label;
}

AxisTag *SymbolChartWidget::addLevelTag(double price)
{
    auto *tag = new AxisTag(yAxis2);
    tag->setPen(Qt::NoPen);
    tag->setBrush(QBrush(m_trendLineColor, Qt::SolidPattern));
    tag->setText(QString::number(price, 'f', jsonreading::boundedDigits(m_digits)));
    tag->updatePosition(price);
    return tag;
}

void SymbolChartWidget::showHoverToolTips(QMouseEvent *event)
{
    bool hovered = false;
    for (const HoverEntry &entry : kHoverEntries) {
        const QString line = QLatin1String(entry.line);
        for (const auto &graph : qAsConst(m_graphs[entry.indicator].lines)) {
            if (graph.first == line)
                showGraphToolTip(graph.second, m_outputs[entry.indicator].value(line), QLatin1String(entry.label),
                                 event, hovered);
        }
    }
    if (!hovered) {
        QToolTip::hideText();
        m_lastToolTip.clear();
    }
}

void SymbolChartWidget::setDigits(int digits)
{
    m_digits = jsonreading::boundedDigits(digits);
    m_dirty = true;
}

// Lines restored before the first tick got their texts with no digits known.
void SymbolChartWidget::refreshLevelTagTexts()
{
    if (m_levelTagDigits == m_digits)
        return;
    m_levelTagDigits = m_digits;
    for (AxisTag *tag : m_objects.levelTags())
        tag->setText(QString::number(tag->value(), 'f', jsonreading::boundedDigits(m_digits)));
}

// ---------------------------------------------------------------- crosshair

void SymbolChartWidget::showCrosshair()
{
    if (m_drawingMode != 3)
        return;
    // A second call would leave the first crosshair behind with nothing pointing at it.
    if (m_currentDrawingItem || m_secondDrawingItem || m_currentTag)
        return;
    const QPoint centre(width() / 2, height() / 2);
    const double key = xAxis->pixelToCoord(centre.x());
    const double price = yAxis2->pixelToCoord(centre.y());
    const double bar = snap(key);

    auto *horizontal = new QCPItemStraightLine(this);
    horizontal->setPen(QPen(Qt::gray));
    horizontal->point1->setAxes(xAxis, yAxis2);
    horizontal->point2->setAxes(xAxis, yAxis2);
    horizontal->point1->setCoords(0, price);
    horizontal->point2->setCoords(bar, price);

    auto *tag = new AxisTag(yAxis2);
    tag->setPen(Qt::NoPen);
    tag->setBrush(QBrush(Qt::red, Qt::SolidPattern));
    tag->setText(QString::number(price, 'f', jsonreading::boundedDigits(m_digits)));
    tag->updatePosition(price);

    auto *vertical = new QCPItemStraightLine(this);
    vertical->setPen(QPen(Qt::gray));
    vertical->point1->setCoords(bar, 0);
    vertical->point2->setCoords(bar, price);

    m_currentDrawingItem = horizontal;
    m_secondDrawingItem = vertical;
    m_currentTag = tag;
    m_crosshairShown = true;
    replot(rpRefreshHint);
}

void SymbolChartWidget::setDrawingMode(int mode)
{
    m_drawingMode = mode;
    if (mode == 3 || !m_crosshairShown)
        return;
    removeCrosshair();
    m_dirty = true;
}

void SymbolChartWidget::removeCrosshair()
{
    if (!m_crosshairShown)
        return;
    m_crosshairShown = false;
    for (QCPAbstractItem *item : {m_currentDrawingItem.data(), m_secondDrawingItem.data()}) {
        if (item)
            removeItem(item);
    }
    delete m_currentTag.data();
    m_currentDrawingItem = nullptr;
    m_secondDrawingItem = nullptr;
}

// ---------------------------------------------------------------- the registry

bool SymbolChartWidget::removeObject(QCPAbstractItem *item)
{
    if (!m_objects.remove(m_period, item))
        return false;
    shareObjects();
    return true;
}

QList<QPair<QCPAbstractItem *, QString>> SymbolChartWidget::objectsInDrawingOrder() const
{
    return m_objects.inDrawingOrder(m_period);
}

QMap<QCPAbstractItem *, QString> SymbolChartWidget::objectNamesForCurrentPeriod() const
{
    const QMap<QCPAbstractItem *, QString> names = m_objects.names(m_period);
    if (names.isEmpty())
        qCDebug(lcKestral) << "m_objects for period" << m_period << "is empty.";
    return names;
}

void SymbolChartWidget::setTrendLineColor(const QColor &color)
{
    if (!color.isValid() || color == m_trendLineColor)
        return;
    m_trendLineColor = color;
    const QMap<int, QCPAbstractItem *> objects = m_objects.objects(m_period);
    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        if (AxisTag *tag = m_objects.levelTag(it.key()))
            tag->setBrush(QBrush(color, Qt::SolidPattern));
        if (auto *straight = qobject_cast<QCPItemStraightLine *>(it.value()))
            straight->setPen(QPen(color));
        else if (auto *line = qobject_cast<QCPItemLine *>(it.value()))
            line->setPen(QPen(color));
    }
}

void SymbolChartWidget::saveChartObjects()
{
    // A period whose bars never came still has its saved objects in the file;
    // read them first so that this save does not drop them.
    restoreObjects(m_period);
    m_objects.storeCounter(m_symbol);
    if (!m_chartManager)
        return;
    m_chartManager->setColors(m_symbol, m_period, colors(), false);
    shareObjects();
    m_chartManager->saveChartSettings(m_symbol, m_period);
}

// Windows of one symbol and period show one list: each change goes to the
// manager at once, and the others rebuild from it.
void SymbolChartWidget::shareObjects()
{
    if (!m_chartManager)
        return;
    restoreObjects(m_period);
    m_chartManager->setLevels(m_symbol, m_period, m_objects.levels(m_period), false);
    m_chartManager->setObjects(m_symbol, m_period, m_objects.records(m_period), false);
}

void SymbolChartWidget::followSharedObjects()
{
    connect(m_chartManager, &ChartManager::objectsChanged, this, [this](const QString &symbol, int period) {
        if (symbol != m_symbol || period != m_period || !m_objects.isRestored(period))
            return;
        const QList<ChartObjectRecord> shared = m_chartManager->sharedObjects(symbol, period);
        const QList<ChartObjectRecord> own = m_objects.records(period);
        const auto sameNames = [](const ChartObjectRecord &a, const ChartObjectRecord &b) { return a.name == b.name; };
        if (shared == own && std::equal(shared.cbegin(), shared.cend(), own.cbegin(), sameNames))
            return;
        m_objects.clear(period);
        restoreObjects(period);
        m_dirty = true;
    });
    // Drawings and colours belong to the account they were made under.
    connect(m_chartManager, &ChartManager::accountAboutToChange, this, [this] {
        saveChartObjects();
        m_objects.clear(m_period);
        QMetaObject::invokeMethod(
            this, [this] { applyColors(m_chartManager->getColors(m_symbol, m_period)); }, Qt::QueuedConnection);
    });
}

void SymbolChartWidget::restoreObjects(int period)
{
    if (!m_chartManager || m_objects.isRestored(period))
        return;
    m_objects.markRestored(period);
    QList<FibonacciLevel> fibonacciLines;
    const QList<ChartObjectRecord> records = m_chartManager->sharedObjects(m_symbol, period);
    for (const ChartObjectRecord &record : records) {
        using Kind = ChartObjectRegistry::Kind;
        const ChartObjectRegistry::ParsedName parsed = ChartObjectRegistry::parseName(record.name);
        QCPAbstractItem *item = nullptr;
        switch (parsed.kind) {
        case Kind::HorizontalLine:
        case Kind::VerticalLine:
        case Kind::FibonacciLine: {
            QCPItemStraightLine *line =
                addStraightLine(parsed.kind == Kind::FibonacciLine ? QColor(Qt::yellow) : m_trendLineColor, true);
            line->point1->setCoords(record.x1, record.y1);
            line->point2->setCoords(record.x2, record.y2);
            item = line;
            break;
        }
        case Kind::TrendLine: {
            auto *line = new QCPItemLine(this);
            line->setPen(QPen(m_trendLineColor));
            line->start->setAxes(xAxis, yAxis2);
            line->end->setAxes(xAxis, yAxis2);
            line->start->setCoords(record.x1, record.y1);
            line->end->setCoords(record.x2, record.y2);
            item = line;
            break;
        }
        case Kind::Unknown:
            break;
        }
        if (!item)
            continue;
        // An id that another object holds (a copied file, a reset counter) gets a
        // fresh one, or one of the two would vanish from the map and the next save.
        const int id = m_objects.claimId(parsed.id);
        m_objects.insert(period, id, item,
                         id == parsed.id ? record.name : ChartObjectRegistry::renamed(record.name, id));
        if (parsed.kind == Kind::HorizontalLine)
            m_objects.setLevelTag(id, addLevelTag(record.y2));
        if (parsed.kind == Kind::FibonacciLine && parsed.percentValid)
            fibonacciLines.append({id, static_cast<QCPItemStraightLine *>(item), parsed.percent});
    }
    restoreFibonacciLabels(fibonacciLines, period);
}

// Labels are not saved; each is rebuilt beside its level line under the id it
// was drawn with, the one after its line's, when that is still free.
void SymbolChartWidget::restoreFibonacciLabels(const QList<FibonacciLevel> &levels, int period)
{
    for (const FibonacciLevel &level : levels) {
        QCPItemText *label = addFibonacciLabel(level.line->point2->key(), level.line->point2->value(), level.percent);
        const int id = m_objects.claimId(level.id + 1);
        m_objects.insert(period, id, label, ChartObjectRegistry::fibonacciLabelName(id, level.percent));
    }
}
