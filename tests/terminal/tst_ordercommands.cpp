// The main window's order-dialog commands, the demo and password dialogs it opens,
// and switching its language.
#include "messageboxcloser.h"
#include "terminalsession.h"
#include "testmain.h"

#include "appglobals.h"
#include "changepassworddlg.h"
#include "new_order.h"
#include "opendemodlg.h"
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>

namespace {

QTableWidgetItem *item(const QString &text, const QString &kind = QString())
{
    auto *cell = new QTableWidgetItem(text);
    if (!kind.isEmpty())
        cell->setData(Qt::UserRole, kind);
    return cell;
}

} // namespace

class TestOrderCommands : public QObject
{
    Q_OBJECT

    template <typename T> static T *child(QObject *parent, const char *name = nullptr)
    {
        return parent->findChild<T *>(name ? QLatin1String(name) : QString());
    }

private slots:
    void orderDialogCommands_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("mode"); // -1: the dialog stays closed

        for (bool readOnly : {false, true}) {
            const char *prefix = readOnly ? "read-only: " : "main password: ";
            QTest::newRow(QByteArray(prefix).append("New Order").constData())
                << readOnly << "action" << (readOnly ? -1 : 0);
            QTest::newRow(QByteArray(prefix).append("market watch").constData())
                << readOnly << "symbol" << (readOnly ? -1 : 0);
            QTest::newRow(QByteArray(prefix).append("position row").constData())
                << readOnly << "position" << (readOnly ? -1 : 4);
        }
        QTest::newRow("pending-order row modifies the order") << false << "order" << 1;
        QTest::newRow("footer row does nothing") << false << "footer" << -1;
    }
    void orderDialogCommands()
    {
        QFETCH(bool, readOnly);
        QFETCH(QString, command);
        QFETCH(int, mode);

        TerminalSession session;
        QVERIFY(session.loginAndWait());
        // As a login with the investor password leaves it.
        readOnlyMode = readOnly;
        Client_Terminal *window = session.window.get();
        auto *dialog = child<New_Order>(window);
        auto *symbols = child<QTableWidget>(window, "symbolTableWidget");
        auto *trades = child<QTableWidget>(window, "tradeTableWidget");
        symbols->setRowCount(2);
        symbols->setItem(0, 0, item("EURUSD"));
        symbols->setItem(1, 0, item("XAUUSD"));
        symbols->setItem(1, 3, item("12"));
        trades->setRowCount(3);
        const QStringList kinds{"position", "order", ""};
        for (int row = 0; row < 3; ++row) {
            trades->setItem(row, 0, item(row < 2 ? "GBPUSD" : "Summary", kinds[row]));
            trades->setItem(row, 1, item(row < 2 ? QString::number(501 + 100 * row) : ""));
        }

        MessageBoxCloser boxes;
        QString symbol = "GBPUSD";
        if (command == "action") {
            // No market-watch row was selected: the dialog keeps its symbol.
            symbol = "XAUUSD";
            dialog->setCurrentSymbol(symbol);
            child<QAction>(window, "actionNew_Order")->trigger();
        } else if (command == "symbol") {
            symbol = symbols->item(1, 0)->text();
            emit symbols->itemDoubleClicked(symbols->item(1, 3));
        } else {
            const int row = command == "position" ? 0 : command == "order" ? 1 : 2;
            emit trades->itemDoubleClicked(trades->item(row, 1));
        }
        QCOMPARE(boxes.texts,
                 readOnly ? QStringList{"Warning: Trade operations restricted in Read Only Mode."} : QStringList());
        QCOMPARE(dialog->isVisible(), mode >= 0);
        if (mode >= 0) {
            QCOMPARE(dialog->mode(), mode);
            QCOMPARE(dialog->currentSymbol(), symbol);
        }
        readOnlyMode = false;
    }

    void accountDialogs()
    {
        TerminalSession session;
        QVERIFY(session.loginAndWait());
        Client_Terminal *window = session.window.get();

        auto *demo = child<OpenDemoDlg>(window);
        child<QLineEdit>(demo, "nameEdit")->setText("left over");
        child<QAction>(window, "actionOpenDemo")->trigger();
        QVERIFY(demo->isVisible());
        QCOMPARE(child<QComboBox>(demo, "serverBox")->currentText(), TerminalSession::serverName);
        QVERIFY(child<QLineEdit>(demo, "nameEdit")->text().isEmpty());

        auto *password = child<ChangePasswordDlg>(window);
        child<QLineEdit>(password, "txtMain")->setText("typed before");
        child<QAction>(window, "actionChangePassword")->trigger();
        QVERIFY(password->isVisible());
        QVERIFY(child<QLineEdit>(password, "txtMain")->text().isEmpty());
    }

    void switchingLanguage_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Qt::LayoutDirection>("direction");
        QTest::addColumn<QString>("newOrder");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("passwordTitle");

        QTest::newRow("Arabic, right to left")
            << ":/translations/translations-arabic.qm" << Qt::RightToLeft << QString::fromUtf8("أمر جديد")
            << QStringList() << QString::fromUtf8("تغيير كلمة المرور");
        QTest::newRow("Turkish") << ":/translations/translations-turkish.qm" << Qt::LeftToRight
                                 << QString::fromUtf8("Yeni Emir") << QStringList()
                                 << QString::fromUtf8("Şifre Değiştir");
        QTest::newRow("English") << "" << Qt::LeftToRight << "New Order" << QStringList() << "Change Password";
        QTest::newRow("a missing translation warns") << ":/translations/none.qm" << Qt::LeftToRight << "New Order"
                                                     << QStringList{"Error: Failed to translate."} << "Change Password";
    }
    void switchingLanguage()
    {
        QFETCH(QString, file);
        QFETCH(QString, passwordTitle);
        TerminalSession session;
        QVERIFY(session.loginAndWait());
        Client_Terminal *window = session.window.get();
        MessageBoxCloser closer;
        window->switchLanguage(":/translations/translations-arabic.qm");
        window->switchLanguage(file);
        QTEST(closer.texts, "boxes");
        QTEST(child<QAction>(window, "actionNew_Order")->text(), "newOrder");
        QTEST(window->layoutDirection(), "direction");
        // The dialogs retranslate themselves when the language-change event reaches them.
        QTRY_COMPARE(child<ChangePasswordDlg>(window)->windowTitle(), passwordTitle);
        QCOMPARE(window->windowTitle(), QString("Test Client (1001, Kestral-Demo)"));
    }
};

KESTRAL_TEST_MAIN(TestOrderCommands)
#include "tst_ordercommands.moc"
