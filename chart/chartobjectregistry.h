// The drawn objects of one chart window: per period, object id to plot item and
// name, and the price tags of horizontal lines. The plot owns the items; the
// registry owns the tags.
#pragma once

#include "chartobjectrecord.h"

#include <QList>
#include <QMap>
#include <QPointer>
#include <QSet>
#include <QString>

class AxisTag;
class QCPAbstractItem;

class ChartObjectRegistry
{
public:
    enum class Kind { Unknown, HorizontalLine, VerticalLine, TrendLine, FibonacciLine };

    // What a saved name says about its object. Ids that are no number read as 0.
    struct ParsedName
    {
        Kind kind = Kind::Unknown;
        int id = 0;
        double percent = 0.0; // Fibonacci levels only
        bool percentValid = false;
    };
    static ParsedName parseName(const QString &name);
    static QString fibonacciName(int id, double percent);
    static QString fibonacciLabelName(int id, double percent);
    // The name with its id replaced (appended when it carried none).
    static QString renamed(const QString &name, int id);

    // The counter is one per symbol in the per-user settings store, shared by all periods.
    static int storedCounter(const QString &symbol);
    void storeCounter(const QString &symbol) const;

    explicit ChartObjectRegistry(int counter = 0);
    ~ChartObjectRegistry();
    ChartObjectRegistry(const ChartObjectRegistry &) = delete;
    ChartObjectRegistry &operator=(const ChartObjectRegistry &) = delete;

    // The last id given out.
    int counter() const { return m_counter; }
    // The next id; the counter stays above every id held, so it is free.
    int nextId();
    // `wanted` when no object holds it (the counter then moves past it), else nextId().
    int claimId(int wanted);

    void insert(int period, int id, QCPAbstractItem *item, const QString &name);
    // Takes the item off the plot and drops its tag; false when the period has no such item.
    bool remove(int period, QCPAbstractItem *item);
    // Takes every object of the period off the plot; they are read back as on a first load.
    void clear(int period);

    // Owned from here on; a tag already held under the id is deleted.
    void setLevelTag(int id, AxisTag *tag);
    AxisTag *levelTag(int id) const;
    QList<AxisTag *> levelTags() const;

    // Objects still on the plot, by ascending id.
    QMap<int, QCPAbstractItem *> objects(int period) const;
    QMap<QCPAbstractItem *, QString> names(int period) const;
    // Items and names in the order they were drawn.
    QList<QPair<QCPAbstractItem *, QString>> inDrawingOrder(int period) const;
    QString name(QCPAbstractItem *item) const;

    // Lines as saved: x values are bar indices truncated toward zero; texts give no record.
    QList<ChartObjectRecord> records(int period) const;
    // Prices of the period's horizontal-line tags, by ascending id.
    QList<double> levels(int period) const;

    // Whether the period's saved objects were read back already.
    bool isRestored(int period) const { return m_restored.contains(period); }
    void markRestored(int period) { m_restored.insert(period); }

private:
    struct Entry
    {
        QPointer<QCPAbstractItem> item;
        QString name;
    };
    bool inUse(int id) const;

    int m_counter = 0;
    QMap<int, QMap<int, Entry>> m_periods;
    QMap<int, QPointer<AxisTag>> m_tags;
    QSet<int> m_restored;
};
