#include "chartobjectregistry.h"

#include "axistag.h"
#include "usersettings.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <limits>
#include <qcustomplot.h>

namespace {

// Truncated toward zero; a key dragged far off the axis must not overflow the cast.
qint32 barOf(double key, double offset)
{
    const double bar = std::trunc(key + offset);
    if (!std::isfinite(bar))
        return 0;
    return qint32(
        std::clamp(bar, double(std::numeric_limits<qint32>::min()), double(std::numeric_limits<qint32>::max())));
}

} // namespace

ChartObjectRegistry::ParsedName ChartObjectRegistry::parseName(const QString &name)
{
    ParsedName parsed;
    static const QRegularExpression fibonacci(QStringLiteral("^Fibonacci (-?\\d+) \\((.*)%\\)$"));
    if (const auto match = fibonacci.match(name); match.hasMatch()) {
        parsed.kind = Kind::FibonacciLine;
        parsed.id = match.captured(1).toInt();
        parsed.percent = match.captured(2).toDouble(&parsed.percentValid);
        return parsed;
    }
    const QStringList parts = name.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    const QString &first = parts.first();
    if (first.contains(QLatin1String("Horiz")))
        parsed.kind = Kind::HorizontalLine;
    else if (first.contains(QLatin1String("Vertical")))
        parsed.kind = Kind::VerticalLine;
    else if (first.contains(QLatin1String("Trend")))
        parsed.kind = Kind::TrendLine;
    parsed.id = parts.last().toInt();
    return parsed;
}

QString ChartObjectRegistry::fibonacciName(int id, double percent)
{
    return QStringLiteral("Fibonacci %1 (%2%)").arg(id).arg(percent);
}

QString ChartObjectRegistry::fibonacciLabelName(int id, double percent)
{
    return QStringLiteral("Fibonacci Label %1 (%2%)").arg(id).arg(percent);
}

QString ChartObjectRegistry::renamed(const QString &name, int id)
{
    QStringList parts = name.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    const int idPart = parseName(name).kind == Kind::FibonacciLine ? 1 : parts.size() - 1;
    bool numbered = false;
    parts[idPart].toInt(&numbered);
    if (!numbered)
        return name + QLatin1Char(' ') + QString::number(id);
    parts[idPart] = QString::number(id);
    return parts.join(QLatin1Char(' '));
}

int ChartObjectRegistry::storedCounter(const QString &symbol)
{
    return UserSettings().value(QStringLiteral("%1_objects").arg(symbol), 0).toInt();
}

void ChartObjectRegistry::storeCounter(const QString &symbol) const
{
    UserSettings().setValue(QStringLiteral("%1_objects").arg(symbol), m_counter);
}

ChartObjectRegistry::ChartObjectRegistry(int counter)
    : m_counter(counter)
{
}

ChartObjectRegistry::~ChartObjectRegistry()
{
    for (const QPointer<AxisTag> &tag : qAsConst(m_tags))
        delete tag.data();
}

bool ChartObjectRegistry::inUse(int id) const
{
    if (m_tags.contains(id))
        return true;
    return std::any_of(m_periods.cbegin(), m_periods.cend(),
                       [id](const QMap<int, Entry> &objects) { return objects.contains(id); });
}

int ChartObjectRegistry::nextId()
{
    return ++m_counter;
}

int ChartObjectRegistry::claimId(int wanted)
{
    if (inUse(wanted))
        return nextId();
    // The stored counter may lag behind the ids read back from a settings file;
    // kept above every id in use, it never hands one out twice.
    m_counter = std::max(m_counter, wanted);
    return wanted;
}

void ChartObjectRegistry::insert(int period, int id, QCPAbstractItem *item, const QString &name)
{
    m_periods[period][id] = Entry{item, name};
}

bool ChartObjectRegistry::remove(int period, QCPAbstractItem *item)
{
    if (!item)
        return false;
    auto objects = m_periods.find(period);
    if (objects == m_periods.end())
        return false;
    for (auto it = objects->begin(); it != objects->end(); ++it) {
        if (it->item.data() != item)
            continue;
        const int id = it.key();
        objects->erase(it);
        if (item->parentPlot())
            item->parentPlot()->removeItem(item);
        delete m_tags.take(id).data();
        return true;
    }
    return false;
}

void ChartObjectRegistry::clear(int period)
{
    const QMap<int, Entry> entries = m_periods.take(period);
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        if (QCPAbstractItem *item = it->item.data(); item && item->parentPlot())
            item->parentPlot()->removeItem(item);
        delete m_tags.take(it.key()).data();
    }
    m_restored.remove(period);
}

void ChartObjectRegistry::setLevelTag(int id, AxisTag *tag)
{
    QPointer<AxisTag> &held = m_tags[id];
    if (held != tag)
        delete held.data();
    held = tag;
}

AxisTag *ChartObjectRegistry::levelTag(int id) const
{
    return m_tags.value(id).data();
}

QList<AxisTag *> ChartObjectRegistry::levelTags() const
{
    QList<AxisTag *> tags;
    for (const QPointer<AxisTag> &tag : m_tags) {
        if (tag)
            tags.append(tag.data());
    }
    return tags;
}

QMap<int, QCPAbstractItem *> ChartObjectRegistry::objects(int period) const
{
    QMap<int, QCPAbstractItem *> items;
    const QMap<int, Entry> entries = m_periods.value(period);
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        if (it->item)
            items.insert(it.key(), it->item.data());
    }
    return items;
}

QMap<QCPAbstractItem *, QString> ChartObjectRegistry::names(int period) const
{
    QMap<QCPAbstractItem *, QString> names;
    const QMap<int, Entry> entries = m_periods.value(period);
    for (const Entry &entry : entries) {
        if (entry.item)
            names.insert(entry.item.data(), entry.name);
    }
    return names;
}

QList<QPair<QCPAbstractItem *, QString>> ChartObjectRegistry::inDrawingOrder(int period) const
{
    QList<QPair<QCPAbstractItem *, QString>> items;
    const QMap<int, Entry> entries = m_periods.value(period);
    for (const Entry &entry : entries) {
        if (entry.item)
            items.append({entry.item.data(), entry.name});
    }
    return items;
}

QString ChartObjectRegistry::name(QCPAbstractItem *item) const
{
    for (const QMap<int, Entry> &entries : m_periods) {
        for (const Entry &entry : entries) {
            if (item && entry.item.data() == item)
                return entry.name;
        }
    }
    return QString();
}

QList<ChartObjectRecord> ChartObjectRegistry::records(int period) const
{
    QList<ChartObjectRecord> records;
    const QMap<int, Entry> entries = m_periods.value(period);
    for (const Entry &entry : entries) {
        ChartObjectRecord record;
        record.name = entry.name;
        if (auto *straight = qobject_cast<QCPItemStraightLine *>(entry.item.data())) {
            record.x1 = barOf(straight->point1->key(), 0.5);
            record.y1 = straight->point1->value();
            record.x2 = barOf(straight->point2->key(), 0.5);
            record.y2 = straight->point2->value();
        } else if (auto *line = qobject_cast<QCPItemLine *>(entry.item.data())) {
            record.x1 = barOf(line->start->key(), 0.4);
            record.y1 = line->start->value();
            record.x2 = barOf(line->end->key(), 0.4);
            record.y2 = line->end->value();
        } else {
            continue;
        }
        records.append(record);
    }
    return records;
}

QList<double> ChartObjectRegistry::levels(int period) const
{
    QList<double> levels;
    const QMap<int, Entry> entries = m_periods.value(period);
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        if (const AxisTag *tag = levelTag(it.key()))
            levels.append(tag->value());
    }
    return levels;
}
