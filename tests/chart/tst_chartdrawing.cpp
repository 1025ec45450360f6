#include "axistag.h"
#include "chartfixture.h"
#include "chartobjectlistdialog.h"
#include "oneclicktradingbuttons.h"
#include "symbolchartwidget.h"
#include "testmain.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>

using namespace chartfixture;

namespace {

struct PlaceRow
{
    int mode;
    QPointF press, release;
    QString name;
    QList<double> saved; // x1, y1, x2, y2
    QPointF onIt;        // a point the object is drawn through
};

struct ColourRow
{
    QString entry, title;
    int index; // in colors()
    QColor chosen;
    int replots;
};

struct CrosshairRow
{
    int mode;     // when the crosshair is asked for
    QPoint moved; // where the pointer moves next; null: it stays
};

// Closes the next message box from inside the event loop it runs; gives up after 5 s.
void closeNextModal(QString *text = nullptr)
{
    auto *timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, text, tries] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box && ++*tries < 500)
            return;
        if (box && text)
            *text = box->text();
        if (box)
            box->done(QDialog::Accepted);
        timer->deleteLater();
    });
    timer->start(10);
}

// Whether a pixel of the colour, or of its half intensity where a thin line falls
// between two rows, lies within two pixels of the point.
bool shows(const QImage &image, QPoint p, QColor colour)
{
    const auto like = [](int value, int wanted) { return wanted ? value > 90 : value < 60; };
    for (int i = 0; i < 25; ++i) {
        const QColor c = image.pixelColor(p + QPoint(i % 5 - 2, i / 5 - 2));
        if (like(c.red(), colour.red()) && like(c.green(), colour.green()) && like(c.blue(), colour.blue()))
            return true;
    }
    return false;
}

// The chart with its modal steps replaced: the menu chooses the action named
// `choice`, the colour dialog returns `color` and keeps the title it was given.
class Chart : public SymbolChartWidget
{
public:
    using SymbolChartWidget::SymbolChartWidget;
    QString choice, colorTitle;
    QColor color;

    void view()
    {
        xAxis->setRange(-10, 40);
        yAxis2->setRange(1.0, 1.2);
        replot();
    }
    QPoint at(double key, double price) const
    {
        return QPoint(qRound(xAxis->coordToPixel(key)), qRound(yAxis2->coordToPixel(price)));
    }
    void drag(int mode, QPointF from, QPointF to, bool release = true)
    {
        setDrawingMode(mode);
        QTest::mousePress(this, Qt::LeftButton, {}, at(from.x(), from.y()));
        if (from != to)
            QTest::mouseMove(windowHandle(), at(to.x(), to.y()));
        if (release)
            QTest::mouseRelease(this, Qt::LeftButton, {}, at(to.x(), to.y()));
    }
    void fibonacci(QPointF first, QPointF second, Chart *finisher = nullptr, QString *text = nullptr)
    {
        closeNextModal(text);
        drag(5, first, first, false); // the box takes the first release
        (finisher ? finisher : this)->drag(5, second, second);
    }
    void rightClick()
    {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(300, 200), mapToGlobal(QPoint(300, 200)));
        contextMenuEvent(&event);
    }
    QStringList names() const
    {
        QStringList names = objectNamesForCurrentPeriod().values();
        names.sort();
        return names;
    }
    QCPAbstractItem *named(const QString &name) const { return objectNamesForCurrentPeriod().key(name); }

protected:
    QAction *runContextMenu(const QPoint &) override
    {
        for (QAction *action : findChildren<QAction *>()) {
            if (action->text() == choice && !action->menu()) {
                action->trigger();
                return action;
            }
        }
        return nullptr;
    }
    QColor chooseColor(const QColor &, const QString &title) override
    {
        colorTitle = title;
        return color;
    }
};

} // namespace

Q_DECLARE_METATYPE(PlaceRow)
Q_DECLARE_METATYPE(ColourRow)
Q_DECLARE_METATYPE(CrosshairRow)

class TestChartDrawing : public QObject
{
    Q_OBJECT

    std::unique_ptr<ChartManager> m_manager;
    qint64 m_login = 0;

    std::unique_ptr<Chart> open(int period = 60, const QString &symbol = "EURUSD")
    {
        auto chart = std::make_unique<Chart>(m_manager.get(), symbol, period);
        chart->show();
        if (!QTest::qWaitForWindowExposed(chart.get()))
            return nullptr;
        chart->view();
        return chart;
    }
    // As a new run reads them from the account's file, by id.
    QStringList fileNames(qint64 login, int period = 60)
    {
        QStringList names;
        for (const ChartObjectRecord &record : manager(login)->getObjects("EURUSD", period))
            names << record.name;
        return names;
    }

private slots:
    void init()
    {
        m_manager = manager(m_login = nextLogin());
        QSettings("MorWell", "Client").remove("EURUSD_objects");
        switchIndicators({});
        m_manager->requestChartHistory("EURUSD", 60, 0, -1);
        m_manager->updateChartHistoryFromServer(historyReply(makeBars(60)));
        settle();
    }
    void cleanup()
    {
        settle();
        m_manager.reset();
    }

    void placesOneObjectPerToolChoice_data()
    {
        QTest::addColumn<PlaceRow>("row");
        const QPointF p(5.2, 1.05), q(20.2, 1.15), r(-3.5, 1.1);
        const auto row = [](const char *name, const PlaceRow &r) { QTest::newRow(name) << r; };
        row("a horizontal line and its tag follow the pointer",
            {1, p, q, "Horizontal Line 1", {0, 1.15, 20, 1.15}, {30.5, 1.15}});
        row("a vertical line snaps to the nearest bar",
            {2, p, {19.7, 1.15}, "Vertical Line 1", {20, 0, 20, 1.15}, {20, 1.1}});
        row("a trend line runs from the press to the pointer",
            {4, p, q, "Trend Line 1", {5, 1.05, 20, 1.15}, {12.5, 1.1}});
        row("a trend line released unmoved ends 1.0 above its start",
            {4, p, p, "Trend Line 1", {5, 1.05, 5, 2.05}, {5, 1.15}});
        row("a key of -3.0 saves as -2, truncated toward zero",
            {2, r, r, "Vertical Line 1", {-2, 0, -2, 1.1}, {-3, 1.05}});
    }
    void placesOneObjectPerToolChoice()
    {
        QFETCH(PlaceRow, row);
        auto chart = open();
        QSignalSpy finished(chart.get(), &SymbolChartWidget::drawStateFinished);
        chart->drag(row.mode, row.press, row.release);
        chart->drag(chart->drawingMode(), row.press, row.release); // the tool ended with the release: nothing more
        QCOMPARE(finished.count(), 2);
        QCOMPARE(chart->names(), QStringList{row.name});
        // Drawn against the price axis; only the vertical line ignores prices.
        const QPointF end = chart->named(row.name)->positions().last()->pixelPosition();
        QVERIFY(row.mode == 2 || std::abs(end.y() - chart->at(0, row.saved[3]).y()) <= 1);
        // Drawn objects are blue on the black chart, and so is a horizontal line's tag; the chart around stays black.
        chart->replot();
        const QImage image = chart->toPixmap().toImage();
        QVERIFY(shows(image, chart->at(row.onIt.x(), row.onIt.y()), Qt::blue));
        QVERIFY(!shows(image, chart->at(35.5, 1.01), Qt::blue));
        if (row.mode == 1)
            QVERIFY(shows(image, QPoint(chart->axisRect()->right() + 7, chart->at(0, row.saved[3]).y()), Qt::blue));
        chart->saveChartObjects();
        const ChartObjectRecord r = m_manager->getObjects("EURUSD", 60).value(0);
        QCOMPARE(QList<int>({r.x1, r.x2}), QList<int>({int(row.saved[0]), int(row.saved[2])}));
        QVERIFY2(std::abs(r.y1 - row.saved[1]) + std::abs(r.y2 - row.saved[3]) < 0.002, qPrintable(r.name));
        QCOMPARE(m_manager->getLevels("EURUSD", 60), row.mode == 1 ? QList<double>{r.y2} : QList<double>());
    }

    void drawsFibonacciRetracements_data()
    {
        QTest::addColumn<double>("first");
        QTest::addColumn<double>("second");
        QTest::addColumn<bool>("finishElsewhere");
        QTest::newRow("high first: 0 % at the low") << 1.18 << 1.02 << false;
        QTest::newRow("low first: 0 % at the high") << 1.02 << 1.18 << false;
        QTest::newRow("begun in one window, finished in another") << 1.18 << 1.02 << true;
    }
    void drawsFibonacciRetracements()
    {
        QFETCH(double, first);
        QFETCH(double, second);
        QFETCH(bool, finishElsewhere);
        auto chart = open();
        auto other = finishElsewhere ? open(60, "GBPUSD") : nullptr;
        Chart *finisher = other ? other.get() : chart.get();
        QSignalSpy finished(finisher, &SymbolChartWidget::drawStateFinished);
        QString text;
        chart->fibonacci({10.2, first}, {30.2, second}, finisher, &text);
        QCOMPARE(text, QString("Now click on the lowest Candle."));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finisher->names().size(), 12);
        const QPoint p1 = chart->at(10.2, first), p2 = finisher->at(30.2, second);
        const double x1 = chart->xAxis->pixelToCoord(p1.x()), y1 = chart->yAxis2->pixelToCoord(p1.y());
        const double x2 = finisher->xAxis->pixelToCoord(p2.x()), y2 = finisher->yAxis2->pixelToCoord(p2.y());
        // Levels are drawn yellow, whatever colour the other drawn objects have.
        finisher->replot();
        const QImage image = finisher->toPixmap().toImage();
        for (const double percent : {0.0, 50.0})
            QVERIFY(shows(image, finisher->at(25.5, y2 + percent / 100 * (y1 - y2)), Qt::yellow));
        finisher->setTrendLineColor(Qt::cyan); // recolours the level lines, not their labels
        int id = 1;
        for (const double percent : {0.0, 23.6, 38.2, 50.0, 61.8, 100.0}) {
            auto *line = qobject_cast<QCPItemStraightLine *>(
                finisher->named(QString("Fibonacci %1 (%2%)").arg(id).arg(percent)));
            auto *label = qobject_cast<QCPItemText *>(
                finisher->named(QString("Fibonacci Label %1 (%2%)").arg(id + 1).arg(percent)));
            QVERIFY2(line && label, qPrintable(QString::number(percent)));
            QCOMPARE(QList<double>({line->point1->key(), line->point1->value(), line->point2->key()}),
                     QList<double>({x1, y2 + percent / 100 * (y1 - y2), x2}));
            QCOMPARE(QStringList({label->text(), line->pen().color().name(), label->color().name()}),
                     QStringList({QString::number(percent) + "%", "#00ffff", "#ffff00"}));
            id += 2;
        }
    }

    void restoresObjectsAsSaved_data()
    {
        QTest::addColumn<int>("storedCounter"); // -1: as the closing window left it
        QTest::newRow("reopened, the counter goes on") << -1;
        QTest::newRow("a reset counter skips the ids of restored objects") << 0;
        QTest::newRow("a lagging counter skips them too") << 12;
    }
    void restoresObjectsAsSaved()
    {
        QFETCH(int, storedCounter);
        QStringList names;
        {
            auto chart = open();
            chart->drag(1, {5.2, 1.05}, {20.2, 1.15});
            chart->drag(2, {12.2, 1.1}, {12.2, 1.1});
            chart->drag(4, {3.2, 1.1}, {8.2, 1.12});
            chart->fibonacci({10.2, 1.18}, {30.2, 1.02});
            names = chart->names();
        }
        const QList<ChartObjectRecord> records = m_manager->getObjects("EURUSD", 60);
        QCOMPARE(records.size(), 9); // the Fibonacci labels are rebuilt, not saved
        if (storedCounter >= 0)
            QSettings("MorWell", "Client").setValue("EURUSD_objects", storedCounter);
        m_manager = manager(m_login);
        auto chart = open();
        QCOMPARE(chart->names(), names);
        // The tags of lines restored before the first tick learn its digits.
        chart->updateWithTick(tick(kHour + 59 * 3600, 1.1));
        chart->replot();
        const auto texts = chart->findChildren<QCPItemText *>();
        QVERIFY(std::any_of(texts.cbegin(), texts.cend(), [&](const QCPItemText *text) {
            return text->text() == QString::number(records.first().y2, 'f', 5);
        }));
        chart->drag(1, {5.2, 1.1}, {5.2, 1.1});
        QVERIFY(chart->named("Horizontal Line 16"));
        chart->saveChartObjects();
        QCOMPARE(m_manager->getObjects("EURUSD", 60).mid(0, 9), records);
        QCOMPARE(fileNames(m_login).size(), 10);
    }

    void keepsObjectsOfPeriodsWhoseBarsNeverCame_data()
    {
        QTest::addColumn<QString>("savedName");
        QTest::addColumn<bool>("drawBeforeHistory");
        QTest::addColumn<QStringList>("names"); // as saved, by id
        QTest::newRow("left again before its bars came")
            << "Horizontal Line 4" << false << QStringList{"Horizontal Line 4"};
        QTest::newRow("drawn on before its bars came")
            << "Horizontal Line 4" << true << QStringList{"Vertical Line 1", "Horizontal Line 4"};
        QTest::newRow("a saved object whose id was taken meanwhile gets another")
            << "Horizontal Line 1" << true << QStringList{"Vertical Line 1", "Horizontal Line 2"};
    }
    void keepsObjectsOfPeriodsWhoseBarsNeverCame()
    {
        QFETCH(QString, savedName);
        QFETCH(bool, drawBeforeHistory);
        QFETCH(QStringList, names);
        m_manager->setObjects("EURUSD", 240, {{3, 1.1, 9, 1.1, savedName}}, true);
        m_manager = manager(m_login);
        auto chart = open();
        QAction h4("H4"), h1("H1");
        chart->onTimeframeChanged(&h4);
        if (drawBeforeHistory) {
            chart->drag(2, {5.2, 1.1}, {5.2, 1.1});
            m_manager->updateChartHistoryFromServer(historyReply(makeBars(30, kHour, 240), 240));
            QTRY_COMPARE(chart->names().size(), 2);
            const AxisTag *tag = chart->levelTag(names.last().section(' ', -1).toInt());
            QVERIFY(tag && tag->value() == 1.1);
        }
        chart->onTimeframeChanged(&h1);
        QCOMPARE(fileNames(m_login, 240), names);
    }

    void objectListDeletes_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("rowsLeft");
        QTest::newRow("delete removes the selected row") << 2 << "deleteButton" << 1;
        QTest::newRow("deleting the last disables delete all") << 1 << "deleteButton" << 0;
        QTest::newRow("delete all empties the current period") << 2 << "deleteAllButton" << 0;
    }
    void objectListDeletes()
    {
        QFETCH(int, lines);
        QFETCH(QString, button);
        QFETCH(int, rowsLeft);
        m_manager->requestChartHistory("EURUSD", 240, 0, -1);
        m_manager->updateChartHistoryFromServer(historyReply(makeBars(30, kHour, 240), 240));
        settle();
        auto chart = open(240);
        chart->drag(2, {3.2, 1.1}, {3.2, 1.1});
        QAction h1("H1"), h4("H4");
        chart->onTimeframeChanged(&h1);
        chart->view();
        QCOMPARE(chart->itemCount(), 3); // the other period's line left with it; the price tag stays
        for (int i = 0; i < lines; ++i)
            chart->drag(1, {5.2, 1.05 + 0.01 * i}, {5.2, 1.05 + 0.01 * i});
        ChartObjectListDialog dialog(chart.get());
        auto *list = dialog.findChild<QListWidget *>("listWidget");
        auto *remove = dialog.findChild<QPushButton *>("deleteButton");
        QCOMPARE(list->count(), lines);
        QVERIFY(!remove->isEnabled());
        list->setCurrentRow(0);
        QVERIFY(remove->isEnabled());
        QCPAbstractItem *first = chart->named("Horizontal Line 2");
        QTest::mouseClick(dialog.findChild<QPushButton *>(button), Qt::LeftButton);
        QVERIFY(!chart->hasItem(first));
        // Per row left a line and its tag (a tag is three items).
        QCOMPARE(QList<int>({list->count(), chart->names().size(), chart->itemCount()}),
                 QList<int>({rowsLeft, rowsLeft, 3 + 4 * rowsLeft}));
        QCOMPARE(QList<bool>({remove->isEnabled(), dialog.findChild<QPushButton *>("deleteAllButton")->isEnabled()}),
                 QList<bool>({false, rowsLeft > 0}));
        chart->onTimeframeChanged(&h4); // each period's objects come back with it
        QCOMPARE(QList<int>({chart->names().size(), chart->itemCount()}), QList<int>({1, 3 + 1}));
        QVERIFY(chart->named("Vertical Line 1"));
    }

    void objectListShowsWholeNamesInDrawingOrder()
    {
        auto chart = open();
        chart->drag(2, {3.2, 1.1}, {3.2, 1.1});
        chart->drag(2, {4.2, 1.1}, {4.2, 1.1});
        // The retracement's first line may take the first one's memory, and so sort first by address.
        QVERIFY(chart->removeObject(chart->named("Vertical Line 1")));
        chart->fibonacci({10.2, 1.18}, {30.2, 1.02});
        ChartObjectListDialog dialog(chart.get());
        dialog.show();
        auto *list = dialog.findChild<QListWidget *>("listWidget");
        QCOMPARE(list->count(), 13);
        for (int i = 0; i < list->count(); ++i) {
            const QString name = list->item(i)->text();
            const int id = name.split(' ').filter(QRegularExpression("^\\d+$")).value(0).toInt();
            QVERIFY2(id == i + 2 && list->viewport()->width() >= list->fontMetrics().horizontalAdvance(name)
                         && list->visualItemRect(list->item(i)).bottom() < list->viewport()->height(),
                     qPrintable(name));
        }
    }

    void windowsOfOneChartShareTheirDrawings_data()
    {
        QTest::addColumn<bool>("firstClosesFirst");
        QTest::addColumn<QStringList>("deleted"); // in the second window
        QTest::addColumn<QStringList>("names");
        const QStringList both{"Horizontal Line 1", "Vertical Line 2"};
        QTest::newRow("the window drawn in first closes first") << true << QStringList() << both;
        QTest::newRow("the window drawn in last closes first") << false << QStringList() << both;
        QTest::newRow("deleted in the other window, gone from both")
            << true << QStringList{"Horizontal Line 1"} << QStringList{"Vertical Line 2"};
        QTest::newRow("all deleted in the other window, the saved file does not bring them back")
            << false << both << QStringList();
    }
    void windowsOfOneChartShareTheirDrawings()
    {
        QFETCH(bool, firstClosesFirst);
        QFETCH(QStringList, deleted);
        QFETCH(QStringList, names);
        auto a = open(), b = open();
        a->drag(1, {5.2, 1.05}, {5.2, 1.05});
        b->drag(2, {12.2, 1.1}, {12.2, 1.1});
        a->saveChartObjects();
        for (const QString &name : deleted)
            QVERIFY(b->removeObject(b->named(name)));
        QCOMPARE(a->names(), names);
        QCOMPARE(b->names(), names);
        (firstClosesFirst ? a : b).reset();
        (firstClosesFirst ? b : a).reset();
        QCOMPARE(fileNames(m_login), names);
    }

    void eachAccountKeepsItsOwnDrawings_data()
    {
        QTest::addColumn<bool>("openAcross");
        QTest::newRow("the chart closed before the switch") << false;
        QTest::newRow("a chart open across the switch") << true;
    }
    void eachAccountKeepsItsOwnDrawings()
    {
        QFETCH(bool, openAcross);
        const qint64 other = nextLogin();
        const auto otherManager = manager(other);
        QList<QColor> colours{Qt::darkBlue, Qt::white, Qt::yellow, Qt::black, Qt::red, Qt::gray, Qt::green, Qt::green};
        otherManager->setColors("EURUSD", 60, colours, false);
        otherManager->setObjects("EURUSD", 60, {{7, 1.1, 7, 1.12, "Vertical Line 7"}}, true);
        QAction h4("H4");
        auto first = open();
        first->drag(1, {5.2, 1.05}, {5.2, 1.05});
        first->onTimeframeChanged(&h4);
        first->drag(2, {3.2, 1.1}, {3.2, 1.1});
        first->setBackgroundColor(Qt::darkRed);
        if (!openAcross)
            first.reset();
        m_manager->setAccount(other, "Demo-Server");
        for (const int period : {60, 240})
            m_manager->updateChartHistoryFromServer(historyReply(makeBars(30, kHour, period), period));
        settle();
        auto second = open();
        QCOMPARE(second->names(), QStringList{"Vertical Line 7"});
        QCOMPARE(second->colors(), colours);
        second->onTimeframeChanged(&h4);
        for (const Chart *chart : {second.get(), first.get()})
            QVERIFY(!chart || (chart->names().isEmpty() && chart->colors().first() != QColor(Qt::darkRed)));
        first.reset();
        second.reset();
        QCOMPARE(QList<QStringList>({fileNames(m_login, 60), fileNames(m_login, 240), fileNames(other, 60),
                                     fileNames(other, 240)}),
                 QList<QStringList>({{"Horizontal Line 1"}, {"Vertical Line 2"}, {"Vertical Line 7"}, {}}));
        QCOMPARE(manager(m_login)->getColors("EURUSD", 240).first(), QColor(Qt::darkRed));
    }

    void indicatorAndTimeframeEntries_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("key"); // the switch written; none for a timeframe
        QTest::newRow("a pane of its own") << "Adx" << "Adx";
        QTest::newRow("a price-pane overlay") << "Moving Average" << "MovingAverage";
        QTest::newRow("a timeframe") << "H4" << "";
        QTest::newRow("one-click trading shows, then hides its panel") << "One Click Trading" << "";
    }
    void indicatorAndTimeframeEntries()
    {
        QFETCH(QString, entry);
        QFETCH(QString, key);
        auto chart = open();
        QSignalSpy changed(chart.get(), &SymbolChartWidget::timeframeChanged);
        QLabel *label = nullptr; // the indicator label under the chart's title
        for (QLabel *child : chart->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly))
            label = child->geometry() == QRect(10, 50, 110, 15) ? child : label;
        QVERIFY(label);
        const auto actions = chart->findChildren<QAction *>();
        // The menu opens with the chart's own timeframe ticked.
        QVERIFY(std::any_of(actions.cbegin(), actions.cend(),
                            [](auto *a) { return a->isChecked() && a->text() == "H1"; }));
        for (const bool on : {true, false}) {
            chart->choice = entry;
            chart->rightClick();
            QCOMPARE(label->text(), entry == "One Click Trading" ? QString() : entry);
            QCOMPARE(QSettings("MorWell", "Client").value("Indicator/EURUSD/" + key).toBool(), on && !key.isEmpty());
            QCOMPARE(chart->findChild<OneClickTradingButtons *>()->isVisible(), on && entry == "One Click Trading");
            // No empty row is left behind when the pane goes.
            QCOMPARE(QList<int>({chart->plotLayout()->rowCount(), chart->plotLayout()->elementCount()}),
                     QVector<int>(2, entry == "Adx" && on ? 2 : 1).toList());
        }
        QCOMPARE(chart->period(), entry == "H4" ? 240 : 60);
        QCOMPARE(changed.count(), entry == "H4" ? 1 : 0);
    }

    void colourEntries_data()
    {
        QTest::addColumn<ColourRow>("row");
        const QColor cyan(Qt::cyan);
        const auto row = [](const char *name, const ColourRow &r) { QTest::newRow(name) << r; };
        row("background", {"Background Color", "Select Background Color", 0, cyan, 0});
        row("axis", {"Axis Color", "Select Axis Color", 1, cyan, 0});
        row("drawn objects", {"Trend Line Color", "Select Line Color", 2, cyan, 1});
        row("bull candle", {"Bull Candle Color", "Select Candle Color", 3, cyan, 1});
        row("bear candle", {"Bear Candle Color", "Select Candle Color", 4, cyan, 1});
        row("grid", {"Grid Color", "Select Grid Color", 5, cyan, 0});
        row("bull outline", {"Bull Outline Color", "Select Candle Pen Color", 6, cyan, 1});
        row("bear outline", {"Bear Outline Color", "Select Candle Pen Color", 7, cyan, 1});
        row("the colour in use changes nothing", {"Bear Outline Color", "Select Candle Pen Color", 7, Qt::green, 0});
        row("a cancelled dialog changes nothing", {"Grid Color", "Select Grid Color", 5, QColor(), 0});
    }
    void colourEntries()
    {
        QFETCH(ColourRow, row);
        auto chart = open();
        QStringList entries;
        for (const QMenu *menu : chart->findChildren<QMenu *>()) {
            if (menu->title() == "Change Colors") {
                for (const QAction *action : menu->actions())
                    entries << action->text();
            }
        }
        QCOMPARE(entries,
                 QStringList({"Background Color", "Trend Line Color", "Bull Candle Color", "Bull Outline Color",
                              "Bear Candle Color", "Bear Outline Color", "Grid Color", "Axis Color"}));
        chart->drag(1, {5.2, 1.05}, {5.2, 1.05});
        QList<QColor> expected = chart->colors();
        if (row.chosen.isValid())
            expected[row.index] = row.chosen;
        QSignalSpy replotted(chart.get(), &QCustomPlot::afterReplot);
        chart->choice = row.entry;
        chart->color = row.chosen;
        chart->rightClick();
        QCOMPARE(chart->colorTitle, row.title);
        QCOMPARE(replotted.count(), row.replots);
        QCOMPARE(chart->colors(), expected);
        const QCPFinancial *candles = chart->candlesticks();
        const QList<QColor> painted = {
            chart->toPixmap().toImage().pixelColor(2, 2),
            chart->xAxis->basePen().color(),
            static_cast<QCPItemStraightLine *>(chart->named("Horizontal Line 1"))->pen().color(),
            candles->brushPositive().color(),
            candles->brushNegative().color(),
            chart->xAxis->grid()->pen().color(),
            candles->penPositive().color(),
            candles->penNegative().color()};
        QCOMPARE(painted[row.index], expected[row.index]);
    }

    void crosshair_data()
    {
        QTest::addColumn<CrosshairRow>("row");
        QTest::newRow("shown in the middle of the window") << CrosshairRow{3, {}};
        QTest::newRow("following the pointer") << CrosshairRow{3, {123, 77}};
        QTest::newRow("not shown for another tool") << CrosshairRow{1, {}};
    }
    void crosshair()
    {
        QFETCH(CrosshairRow, row);
        auto chart = open();
        chart->resize(801, 601);
        QTRY_COMPARE(chart->width(), 801);
        chart->updateWithTick(tick(kHour + 59 * 3600, 1.1, 4));
        chart->view();
        const int items = chart->itemCount();
        chart->setDrawingMode(row.mode);
        chart->showCrosshair();
        if (row.mode != 3) {
            QCOMPARE(chart->itemCount(), items);
            return;
        }
        QPoint at(400, 300);
        if (!row.moved.isNull()) {
            at = row.moved;
            QTest::mouseMove(chart->windowHandle(), at);
        }
        const double price = chart->yAxis2->pixelToCoord(at.y());
        const double bar = std::trunc(chart->xAxis->pixelToCoord(at.x()) + 0.5);
        const auto lines = chart->crosshairItems();
        QCOMPARE(lines.size(), 2);
        auto *horizontal = qobject_cast<QCPItemStraightLine *>(lines[0]);
        auto *vertical = qobject_cast<QCPItemStraightLine *>(lines[1]);
        QVERIFY(horizontal && vertical);
        QCOMPARE(QList<double>({horizontal->point1->key(), horizontal->point1->value(), horizontal->point2->key(),
                                horizontal->point2->value()}),
                 QList<double>({0, price, bar, price}));
        QCOMPARE(QList<double>({vertical->point1->key(), vertical->point2->key(), vertical->point2->value()}),
                 QList<double>({bar, bar, price}));
        QCOMPARE(QList<QColor>({horizontal->pen().color(), vertical->pen().color()}),
                 QList<QColor>({Qt::gray, Qt::gray}));
        // The two lines and the price tag's three items.
        QCOMPARE(chart->itemCount(), items + 5);
        // The tag: the price with the symbol's digits on red, at the price on the price axis.
        QCPItemText *tag = nullptr;
        for (QCPItemText *text : chart->findChildren<QCPItemText *>())
            tag = text->text() == QString::number(price, 'f', 4) ? text : tag;
        QVERIFY(tag);
        QCOMPARE(QList<QColor>({tag->brush().color(), tag->pen().style() == Qt::NoPen ? QColor() : tag->pen().color()}),
                 QList<QColor>({Qt::red, QColor()}));
        QVERIFY(std::abs(tag->position->pixelPosition().y() - at.y()) <= 1);
        chart->showCrosshair(); // a second call adds nothing
        QCOMPARE(chart->itemCount(), items + 5);
    }

    void pricePaneKeepsHalfTheWindow()
    {
        switchIndicators("Adx RSI MACD Momentum DeMarker OnBalanceVolume ForceIndex BullsPower");
        auto chart = open();
        QCOMPARE(chart->plotLayout()->rowCount(), 9);
        QVERIFY(chart->height() == 500 && chart->axisRect()->rect().height() >= 250);
        chart->resize(800, 700);
        QTRY_VERIFY(chart->axisRect()->rect().height() >= 350);
    }

    void invalidColoursAreNeitherAppliedNorSaved()
    {
        // As a settings file holding a name that no colour has gives them.
        QList<QColor> colours{Qt::black, Qt::white, QColor("nonsense"), Qt::black, Qt::red, Qt::gray, Qt::green, Qt::green};
        m_manager->setColors("EURUSD", 60, colours, false);
        auto chart = open();
        chart->setBackgroundColor(QColor());
        chart->saveChartObjects();
        colours[2] = Qt::blue;
        QCOMPARE(m_manager->getColors("EURUSD", 60), colours);
    }

    // A line's tag has the symbol's decimals when drawn and when the period is left and taken again.
    void lineTagKeepsTheDigits()
    {
        auto chart = open();
        chart->updateWithTick(tick(kHour + 59 * 3600, 1.1, 3));
        chart->replot();
        chart->drag(1, {5.2, 1.12}, {5.2, 1.15});
        QAction h4("H4"), h1("H1");
        for (int round = 0; round < 2; ++round) {
            QTRY_VERIFY(!chart->names().isEmpty());
            chart->replot();
            QStringList tags;
            for (const QCPItemText *text : chart->findChildren<QCPItemText *>())
                tags << text->text();
            QVERIFY2(tags.indexOf(QRegularExpression("1\\.15\\d")) >= 0, qPrintable(tags.join(' ')));
            chart->onTimeframeChanged(&h4);
            chart->onTimeframeChanged(&h1);
        }
    }
};

KESTRAL_TEST_MAIN(TestChartDrawing)
#include "tst_chartdrawing.moc"
