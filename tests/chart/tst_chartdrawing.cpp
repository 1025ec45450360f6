#include "axistag.h"
#include "chartmanager.h"
#include "chartobjectlistdialog.h"
#include "symbolchartwidget.h"
#include "testmain.h"
#include "tickdata.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QJsonArray>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>

namespace {

constexpr qint64 kHour = 1699999200;
using Record = QList<double>; // x1, y1, x2, y2

QJsonObject historyReply(const QString &symbol, int period, int count)
{
    QJsonArray array;
    for (int i = 0; i < count; ++i) {
        const double mid = 1.1 + 0.01 * std::sin(i / 5.0);
        array.append(QJsonObject{{"datetime", kHour + qint64(i) * period * 60}, {"open", mid}, {"high", mid + 0.003},
                                 {"low", mid - 0.003}, {"close", mid + 0.001}});
    }
    return {{"res_code", 3}, {"symbol", symbol}, {"interval", period}, {"array", array}};
}

// The chart with its modal steps replaced: the menu "chooses" an action by its
// text, the colour dialog returns a set colour.
class Chart : public SymbolChartWidget
{
public:
    using SymbolChartWidget::SymbolChartWidget;
    QString choice;
    QColor color;
    QString colorTitle;

    void rightClick()
    {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(300, 200), mapToGlobal(QPoint(300, 200)));
        contextMenuEvent(&event);
    }
    void view()
    {
        xAxis->setRange(-10, 40);
        yAxis2->setRange(1.0, 1.2);
        replot();
    }
    QLabel *indicatorLabel() const
    {
        for (QLabel *label : findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (label->geometry() == QRect(10, 50, 110, 15))
                return label;
        }
        return nullptr;
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
    QStringList names() const
    {
        QStringList names = objectNamesForCurrentPeriod().values();
        std::sort(names.begin(), names.end());
        return names;
    }

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

// Closes the next modal box from inside the event loop it runs; gives up after 5 s.
void closeNextModal(QString *text = nullptr)
{
    auto *timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, text, tries] {
        auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!box && ++*tries < 500)
            return;
        if (auto *message = qobject_cast<QMessageBox *>(box); message && text)
            *text = message->text();
        if (box)
            box->done(QDialog::Accepted);
        timer->deleteLater();
    });
    timer->start(10);
}

bool near(double a, double b) { return std::abs(a - b) < 0.002; }

} // namespace

class TestChartDrawing : public QObject
{
    Q_OBJECT

    std::unique_ptr<ChartManager> m_manager;
    qint64 m_login = 100;

    std::unique_ptr<Chart> open(int period = 60, const QString &symbol = "EURUSD")
    {
        auto chart = std::make_unique<Chart>(m_manager.get(), symbol, period);
        chart->show();
        if (!QTest::qWaitForWindowExposed(chart.get()))
            return nullptr;
        chart->view();
        return chart;
    }
    void reopenManager()
    {
        m_manager = std::make_unique<ChartManager>(nullptr);
        m_manager->setAccount(m_login, "Demo-Server");
        QVERIFY(ChartManager::waitForFileWork(30000));
    }
    QList<ChartObjectRecord> saved(int period = 60) { return m_manager->getObjects("EURUSD", period); }

private slots:
    void init()
    {
        m_manager = std::make_unique<ChartManager>(nullptr);
        m_manager->setAccount(++m_login, "Demo-Server");
        QSettings("Morwell", "Client").remove("EURUSD_objects");
        QSettings("MorWell", "Client").remove("Indicator");
        m_manager->updateChartHistoryFromServer(historyReply("EURUSD", 60, 60));
        QVERIFY(ChartManager::waitForFileWork(30000));
    }
    void cleanup()
    {
        QVERIFY(ChartManager::waitForFileWork(30000));
        m_manager.reset();
    }

    void placesOneObjectPerToolChoice_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QPointF>("press");
        QTest::addColumn<QPointF>("release");
        QTest::addColumn<QString>("name"); // empty: nothing drawn
        QTest::addColumn<Record>("record");
        QTest::newRow("a horizontal line follows the pointer and its tag the price")
            << 1 << QPointF(5.2, 1.05) << QPointF(20.2, 1.15) << "Horizontal Line 1" << Record{0, 1.15, 20, 1.15};
        QTest::newRow("a vertical line snaps to the nearest bar")
            << 2 << QPointF(5.2, 1.05) << QPointF(19.7, 1.15) << "Vertical Line 1" << Record{20, 0, 20, 1.15};
        QTest::newRow("a trend line runs from the press to the pointer")
            << 4 << QPointF(5.2, 1.05) << QPointF(20.2, 1.15) << "Trend Line 1" << Record{5, 1.05, 20, 1.15};
        QTest::newRow("a trend line released unmoved ends 1.0 above its start")
            << 4 << QPointF(5.2, 1.05) << QPointF(5.2, 1.05) << "Trend Line 1" << Record{5, 1.05, 5, 2.05};
        QTest::newRow("a key of -3.0 saves as -2, truncated toward zero")
            << 2 << QPointF(-3.5, 1.1) << QPointF(-3.5, 1.1) << "Vertical Line 1" << Record{-2, 0, -2, 1.1};
        QTest::newRow("the pointer mode draws nothing") << 0 << QPointF(5, 1.1) << QPointF(20, 1.1) << QString()
                                                        << Record();
    }
    void placesOneObjectPerToolChoice()
    {
        QFETCH(int, mode);
        QFETCH(QPointF, press);
        QFETCH(QPointF, release);
        QFETCH(QString, name);
        QFETCH(Record, record);
        auto chart = open();
        QVERIFY(chart);
        QSignalSpy finished(chart.get(), &SymbolChartWidget::drawStateFinished);
        chart->drag(mode, press, release);
        QCOMPARE(chart->drawingMode(), 0);
        // The tool ends with the release: a second drag draws nothing more.
        chart->drag(chart->drawingMode(), press, release);
        QCOMPARE(finished.count(), 2);
        QCOMPARE(chart->names(), name.isEmpty() ? QStringList() : QStringList{name});
        chart->saveChartObjects();
        QCOMPARE(saved().size(), name.isEmpty() ? 0 : 1);
        if (name.isEmpty())
            return;
        const ChartObjectRecord r = saved().first();
        QCOMPARE(r.name, name);
        QCOMPARE(QList<qint32>({r.x1, r.x2}), QList<qint32>({qint32(record[0]), qint32(record[2])}));
        QVERIFY2(near(r.y1, record[1]) && near(r.y2, record[3]), qPrintable(QString("%1 %2").arg(r.y1).arg(r.y2)));
        AxisTag *tag = chart->levelTag(1);
        QCOMPARE(bool(tag), mode == 1);
        QCOMPARE(m_manager->getLevels("EURUSD", 60), tag ? QList<double>{tag->value()} : QList<double>());
        if (tag)
            QCOMPARE(tag->value(), r.y2);
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
        closeNextModal(&text);
        chart->drag(5, {10.2, first}, {10.2, first}, false); // the box takes the release
        QCOMPARE(text, QString("Now click on the lowest Candle."));
        QCOMPARE(chart->drawingMode(), 5);
        finisher->drag(5, {30.2, second}, {30.2, second});
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finisher->objectNamesForCurrentPeriod().size(), 12);
        const double p1 = chart->yAxis2->pixelToCoord(chart->at(10.2, first).y());
        const double p2 = finisher->yAxis2->pixelToCoord(finisher->at(30.2, second).y());
        int id = 1;
        for (const double percent : {0.0, 23.6, 38.2, 50.0, 61.8, 100.0}) {
            QCPAbstractItem *line = nullptr, *label = nullptr;
            for (auto it : finisher->objectNamesForCurrentPeriod().toStdMap()) {
                if (it.second == QString("Fibonacci %1 (%2%)").arg(id).arg(percent))
                    line = it.first;
                if (it.second == QString("Fibonacci Label %1 (%2%)").arg(id + 1).arg(percent))
                    label = it.first;
            }
            auto *level = qobject_cast<QCPItemStraightLine *>(line);
            QVERIFY2(level && qobject_cast<QCPItemText *>(label), qPrintable(QString::number(percent)));
            QCOMPARE(level->point1->value(), p2 + percent / 100 * (p1 - p2));
            QCOMPARE(level->point1->key(), chart->xAxis->pixelToCoord(chart->at(10.2, first).x()));
            QCOMPARE(level->point2->key(), finisher->xAxis->pixelToCoord(finisher->at(30.2, second).x()));
            QCOMPARE(static_cast<QCPItemText *>(label)->text(), QString::number(percent) + "%");
            id += 2;
        }
    }

    void restoresObjectsAsSaved_data()
    {
        QTest::addColumn<int>("storedCounter"); // -1: as the closing window left it
        QTest::addColumn<QString>("nextName");
        QTest::newRow("reopened, the counter goes on") << -1 << "Horizontal Line 16";
        QTest::newRow("a reset counter skips the ids of restored objects") << 0 << "Horizontal Line 16";
        QTest::newRow("a lagging counter skips them too") << 12 << "Horizontal Line 16";
    }
    void restoresObjectsAsSaved()
    {
        QFETCH(int, storedCounter);
        QFETCH(QString, nextName);
        QStringList names;
        QList<ChartObjectRecord> records;
        {
            auto chart = open();
            chart->drag(1, {5.2, 1.05}, {20.2, 1.15});
            chart->drag(2, {12.2, 1.1}, {12.2, 1.1});
            chart->drag(4, {3.2, 1.1}, {8.2, 1.12});
            closeNextModal();
            chart->drag(5, {10.2, 1.18}, {10.2, 1.18}, false);
            chart->drag(5, {30.2, 1.02}, {30.2, 1.02});
            names = chart->names();
            QCOMPARE(names.size(), 15);
        }
        records = saved();
        QCOMPARE(records.size(), 9); // the Fibonacci labels are rebuilt, not saved
        if (storedCounter >= 0)
            QSettings("Morwell", "Client").setValue("EURUSD_objects", storedCounter);

        reopenManager();
        auto chart = open();
        QCOMPARE(chart->names(), names);
        QCOMPARE(chart->levelTag(1)->value(), records.first().y2);
        chart->drag(1, {5.2, 1.1}, {5.2, 1.1});
        QVERIFY(chart->names().contains(nextName));
        QCOMPARE(chart->names().size(), 16);
        chart->saveChartObjects();
        QCOMPARE(saved().size(), 10);
        for (int i = 0; i < records.size(); ++i)
            QCOMPARE(saved().at(i).name, records.at(i).name);
    }

    void keepsObjectsOfPeriodsWhoseBarsNeverCame_data()
    {
        QTest::addColumn<bool>("drawBeforeHistory");
        QTest::newRow("left again before its bars came") << false;
        QTest::newRow("drawn on before its bars came") << true;
    }
    void keepsObjectsOfPeriodsWhoseBarsNeverCame()
    {
        QFETCH(bool, drawBeforeHistory);
        m_manager->setObjects("EURUSD", 240, {{3, 1.1, 9, 1.1, "Horizontal Line 4"}}, true);
        reopenManager();
        auto chart = open();
        QAction h4("H4"), h1("H1");
        chart->onTimeframeChanged(&h4);
        if (drawBeforeHistory) {
            chart->drag(2, {5.2, 1.1}, {5.2, 1.1});
            m_manager->updateChartHistoryFromServer(historyReply("EURUSD", 240, 30));
            QTRY_COMPARE(chart->names(), QStringList({"Horizontal Line 4", "Vertical Line 1"}));
        }
        chart->onTimeframeChanged(&h1);
        QStringList names;
        for (const ChartObjectRecord &record : saved(240))
            names << record.name;
        QCOMPARE(names, drawBeforeHistory ? QStringList({"Vertical Line 1", "Horizontal Line 4"})
                                          : QStringList({"Horizontal Line 4"}));
    }

    void removesOnlyItemsOfTheCurrentPeriod()
    {
        auto chart = open();
        chart->drag(1, {5.2, 1.05}, {5.2, 1.05});
        QCPAbstractItem *h1Line = chart->objectNamesForCurrentPeriod().firstKey();
        QAction h4("H4");
        chart->onTimeframeChanged(&h4);
        QVERIFY(!chart->removeObject(nullptr));
        QVERIFY(!chart->removeObject(h1Line));
        QVERIFY(chart->hasItem(h1Line));
        chart->drag(1, {8.2, 1.08}, {8.2, 1.08});
        QCPAbstractItem *h4Line = chart->objectNamesForCurrentPeriod().firstKey();
        QVERIFY(chart->levelTag(2));
        QVERIFY(chart->removeObject(h4Line));
        QVERIFY(!chart->levelTag(2) && chart->levelTag(1));
        QTest::ignoreMessage(QtWarningMsg, "m_objects for period 240 is empty.");
        QVERIFY(chart->objectNamesForCurrentPeriod().isEmpty());
    }

    void objectListDeletes_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("rowsLeft");
        QTest::addColumn<bool>("deleteAllEnabled");
        QTest::newRow("an empty period lists nothing") << 0 << QString() << 0 << false;
        QTest::newRow("delete removes the selected row") << 2 << "deleteButton" << 1 << true;
        QTest::newRow("deleting the last leaves delete all disabled") << 1 << "deleteButton" << 0 << false;
        QTest::newRow("delete all empties the current period") << 2 << "deleteAllButton" << 0 << false;
    }
    void objectListDeletes()
    {
        QFETCH(int, lines);
        QFETCH(QString, button);
        QFETCH(int, rowsLeft);
        QFETCH(bool, deleteAllEnabled);
        auto chart = open(240);
        chart->drag(2, {3.2, 1.1}, {3.2, 1.1}); // another period's line stays
        QAction h1("H1");
        chart->onTimeframeChanged(&h1);
        chart->view();
        for (int i = 0; i < lines; ++i)
            chart->drag(1, {5.2, 1.05 + 0.01 * i}, {5.2, 1.05 + 0.01 * i});
        if (!lines)
            QTest::ignoreMessage(QtWarningMsg, "m_objects for period 60 is empty.");
        ChartObjectListDialog dialog(chart.get());
        auto *list = dialog.findChild<QListWidget *>("listWidget");
        auto *remove = dialog.findChild<QPushButton *>("deleteButton");
        QCOMPARE(list->count(), lines);
        QVERIFY(!remove->isEnabled());
        if (!button.isEmpty()) {
            list->setCurrentRow(0);
            QVERIFY(remove->isEnabled());
            QCPAbstractItem *first = chart->objectNamesForCurrentPeriod().firstKey();
            if (rowsLeft == 0)
                QTest::ignoreMessage(QtWarningMsg, "m_objects for period 60 is empty.");
            QTest::mouseClick(dialog.findChild<QPushButton *>(button), Qt::LeftButton);
            QVERIFY(!chart->hasItem(first));
        }
        QCOMPARE(list->count(), rowsLeft);
        QCOMPARE(chart->objectNamesForCurrentPeriod().size(), rowsLeft);
        QVERIFY(!remove->isEnabled());
        QCOMPARE(dialog.findChild<QPushButton *>("deleteAllButton")->isEnabled(), deleteAllEnabled);
        // The price tag, the other period's line, and a line and its tag per row left; a tag is three items.
        QCOMPARE(chart->itemCount(), 3 + 1 + 4 * rowsLeft);
    }

    void colourEntries_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("index"); // in colors()
        QTest::addColumn<QColor>("chosen");
        QTest::addColumn<int>("replots");
        QTest::newRow("background") << "Background Color" << "Select Background Color" << 0 << QColor(Qt::darkRed) << 0;
        QTest::newRow("axis") << "Axis Color" << "Select Axis Color" << 1 << QColor(Qt::cyan) << 0;
        QTest::newRow("drawn objects") << "Trend Line Color" << "Select Line Color" << 2 << QColor(Qt::magenta) << 1;
        QTest::newRow("bull candle") << "Bull Candle Color" << "Select Candle Color" << 3 << QColor(Qt::cyan) << 1;
        QTest::newRow("bear candle") << "Bear Candle Color" << "Select Candle Color" << 4 << QColor(Qt::cyan) << 1;
        QTest::newRow("grid") << "Grid Color" << "Select Grid Color" << 5 << QColor(Qt::cyan) << 0;
        QTest::newRow("bull outline") << "Bull Outline Color" << "Select Candle Pen Color" << 6 << QColor(Qt::cyan)
                                      << 1;
        QTest::newRow("bear outline") << "Bear Outline Color" << "Select Candle Pen Color" << 7 << QColor(Qt::cyan)
                                      << 1;
        QTest::newRow("the colour in use: nothing") << "Bear Outline Color" << "Select Candle Pen Color" << 7
                                                     << QColor(Qt::green) << 0;
        QTest::newRow("a cancelled dialog: nothing") << "Grid Color" << "Select Grid Color" << 5 << QColor() << 0;
    }
    void colourEntries()
    {
        QFETCH(QString, entry);
        QFETCH(QString, title);
        QFETCH(int, index);
        QFETCH(QColor, chosen);
        QFETCH(int, replots);
        auto chart = open();
        chart->drag(1, {5.2, 1.05}, {5.2, 1.05});
        closeNextModal();
        chart->drag(5, {10.2, 1.18}, {10.2, 1.18}, false);
        chart->drag(5, {30.2, 1.02}, {30.2, 1.02});
        QList<QColor> expected = chart->colors();
        if (chosen.isValid())
            expected[index] = chosen;
        QSignalSpy replotted(chart.get(), &QCustomPlot::afterReplot);
        chart->choice = entry;
        chart->color = chosen;
        chart->rightClick();
        QCOMPARE(chart->colorTitle, title);
        QCOMPARE(replotted.count(), replots);
        QCOMPARE(chart->colors(), expected);
        // What each colour paints.
        const QList<QColor> painted = {
            chart->toPixmap().toImage().pixelColor(2, 2), chart->xAxis->basePen().color(),
            static_cast<QCPItemStraightLine *>(chart->objectNamesForCurrentPeriod().key("Horizontal Line 1"))
                ->pen()
                .color(),
            chart->candlesticks()->brushPositive().color(), chart->candlesticks()->brushNegative().color(),
            chart->xAxis->grid()->pen().color(), chart->candlesticks()->penPositive().color(),
            chart->candlesticks()->penNegative().color()};
        QCOMPARE(painted[index], expected[index]);
        // Fibonacci level lines take the drawn-object colour, their labels keep theirs.
        for (auto it : chart->objectNamesForCurrentPeriod().toStdMap()) {
            if (auto *label = qobject_cast<QCPItemText *>(it.first))
                QCOMPARE(label->color(), QColor(Qt::yellow));
            else if (it.second.startsWith("Fibonacci"))
                QCOMPARE(static_cast<QCPItemStraightLine *>(it.first)->pen().color(),
                         index == 2 && chosen.isValid() ? chosen : QColor(Qt::yellow));
        }
    }

    void indicatorAndTimeframeEntries_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("key"); // the switch written
        QTest::newRow("a pane of its own") << "Adx" << "Adx";
        QTest::newRow("a price-pane overlay") << "Moving Average" << "MovingAverage";
        QTest::newRow("a timeframe") << "H4" << QString();
    }
    void indicatorAndTimeframeEntries()
    {
        QFETCH(QString, entry);
        QFETCH(QString, key);
        auto chart = open();
        QSignalSpy changed(chart.get(), &SymbolChartWidget::timeframeChanged);
        QSettings switches("MorWell", "Client");
        for (const bool on : {true, false}) {
            chart->choice = entry;
            chart->rightClick();
            QCOMPARE(chart->indicatorLabel()->text(), entry);
            if (!key.isEmpty())
                QCOMPARE(switches.value("Indicator/EURUSD/" + key).toBool(), on);
            QCOMPARE(chart->plotLayout()->rowCount(), entry == "Adx" && on ? 2 : 1);
            QCOMPARE(chart->plotLayout()->elementCount(), chart->plotLayout()->rowCount());
        }
        QCOMPARE(chart->period(), key.isEmpty() ? 240 : 60);
        QCOMPARE(changed.count(), key.isEmpty() ? 1 : 0);
        QCOMPARE(chart->axisRect()->minimumSize().height(), chart->height() / 2);
    }

    void pricePaneKeepsHalfTheWindow_data()
    {
        QTest::addColumn<QString>("switches");
        QTest::newRow("three panes") << "Adx RSI MACD";
        QTest::newRow("six panes") << "Adx RSI MACD Momentum DeMarker OnBalanceVolume";
    }
    void pricePaneKeepsHalfTheWindow()
    {
        QFETCH(QString, switches);
        for (const QString &suffix : switches.split(' '))
            QSettings("MorWell", "Client").setValue("Indicator/EURUSD/" + suffix, true);
        auto chart = open();
        QCOMPARE(chart->size(), QSize(800, 500));
        QCOMPARE(chart->plotLayout()->rowCount(), 1 + switches.count(' ') + 1);
        QVERIFY2(chart->axisRect()->rect().height() >= 250, qPrintable(QString::number(chart->axisRect()->rect().height())));
        chart->resize(800, 700);
        QTRY_VERIFY(chart->axisRect()->rect().height() >= 350);
    }

    void crosshairComesAndGoesEachTime()
    {
        auto chart = open();
        const int items = chart->itemCount();
        QSignalSpy finished(chart.get(), &SymbolChartWidget::drawStateFinished);
        for (int round = 0; round < 2; ++round) {
            chart->setDrawingMode(3);
            chart->showCrosshair();
            QCOMPARE(chart->crosshairItems().size(), 2);
            QCOMPARE(chart->itemCount(), items + 5); // two lines and a tag of three
            QTest::mousePress(chart.get(), Qt::LeftButton, {}, chart->at(5, 1.1)); // ignored
            if (round == 1) {
                chart->clearItems(); // the plot may drop the items itself
                QTest::mouseMove(chart->windowHandle(), chart->at(8, 1.12));
            }
            QTest::mouseRelease(chart.get(), Qt::LeftButton, {}, chart->at(5, 1.1));
            QVERIFY(chart->crosshairItems().isEmpty());
            QCOMPARE(chart->itemCount(), round == 0 ? items : 0);
        }
        QCOMPARE(finished.count(), 2);
        QVERIFY(chart->names().isEmpty());
    }

    void invalidColoursAreNeitherAppliedNorSaved()
    {
        QFile file(m_manager->settingsFolder() + "/EURUSD_60.csf");
        QVERIFY(QDir().mkpath(m_manager->settingsFolder()) && file.open(QIODevice::WriteOnly));
        QDataStream out(&file);
        out << qint32(8);
        for (const char *name : {"#ff000000", "#ffffffff", "nonsense", "#ff000000", "#ffff0000", "#ff808080",
                                 "#ff00ff00", "#ff00ff00"})
            out << QString(name);
        out << qint32(0) << qint32(0);
        file.close();
        reopenManager();
        auto chart = open();
        QCOMPARE(chart->trendLineColor(), QColor(Qt::blue));
        chart->color = QColor("nonsense");
        chart->choice = "Grid Color";
        chart->rightClick();
        chart->setBackgroundColor(QColor());
        chart->saveChartObjects();
        QCOMPARE(m_manager->getColors("EURUSD", 60).size(), 8);
        for (const QColor &color : m_manager->getColors("EURUSD", 60))
            QVERIFY(color.isValid());
    }

    void rendersDrawnObjects()
    {
        auto chart = open();
        TickData tick;
        tick.symbol = "EURUSD";
        tick.timestamp = kHour + 59 * 3600;
        tick.bid = 1.105;
        tick.digits = 5;
        chart->updateWithTick(tick);
        chart->drag(1, {5.2, 1.06}, {20.2, 1.06});
        chart->drag(4, {2.2, 1.16}, {12.2, 1.19});
        closeNextModal();
        chart->drag(5, {15.2, 1.17}, {15.2, 1.17}, false);
        chart->drag(5, {35.2, 1.03}, {35.2, 1.03});
        chart->replot();
        const QImage image = chart->toPixmap().toImage();
        QVERIFY(image.save("/tmp/chart-tools-screenshot.png"));
        // A pixel of the pure colour, or of its half intensity where a thin line
        // falls between two rows, within two pixels of the point.
        const auto shows = [&image](QPoint p, QColor colour) {
            const auto like = [](int value, int wanted) { return wanted ? value > 90 : value < 60; };
            for (int dx = -2; dx <= 2; ++dx) {
                for (int dy = -2; dy <= 2; ++dy) {
                    const QColor c = image.pixelColor(p + QPoint(dx, dy));
                    if (like(c.red(), colour.red()) && like(c.green(), colour.green())
                        && like(c.blue(), colour.blue()))
                        return true;
                }
            }
            return false;
        };
        const QColor blue(Qt::blue), yellow(Qt::yellow);
        QVERIFY(shows(chart->at(30.5, 1.06), blue));                       // the horizontal line
        QVERIFY(shows(QPoint(chart->axisRect()->right() + 7, chart->at(0, 1.06).y()), blue)); // its tag
        QVERIFY(shows(chart->at(7, 1.175), blue));                         // the trend line, halfway
        QVERIFY(shows(chart->at(25.5, 1.03), yellow));                     // Fibonacci 0 %
        QVERIFY(shows(chart->at(25.5, 1.03 + 0.5 * 0.14), yellow));        // Fibonacci 50 %
        QVERIFY(!shows(chart->at(30.5, 1.13), blue) && !shows(chart->at(30.5, 1.13), yellow));
    }
};

KESTRAL_TEST_MAIN(TestChartDrawing)
#include "tst_chartdrawing.moc"
