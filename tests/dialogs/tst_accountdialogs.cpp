// The change-password and demo-account dialogs against a loopback account service.
#include "changepassworddlg.h"
#include "logger.h"
#include "loopbackhttpserver.h"
#include "messageboxcloser.h"
#include "opendemodlg.h"
#include "testmain.h"
#include "tradeclient.h"
#include "tradesession.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

template <typename T = QLineEdit> T *child(QObject *dialog, const char *name)
{
    return dialog->findChild<T *>(QLatin1String(name));
}

void fill(QObject *dialog, const QStringList &names, const QStringList &texts)
{
    for (int i = 0; i < names.size(); ++i)
        child(dialog, qPrintable(names[i]))->setText(texts.value(i));
}

QByteArray compact(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).toJson(QJsonDocument::Compact);
}

} // namespace

class TestAccountDialogs : public QObject
{
    Q_OBJECT

    LoopbackHttpServer m_http;
    TradeClient m_client;
    const QStringList m_passwordFields{"txtMain", "txtNew1", "txtNew2"};

private slots:
    void initTestCase()
    {
        qputenv("KESTRAL_ACCOUNT_PORT", QByteArray::number(m_http.port()));
        m_client.login = 1001;
        m_client.password = "Secret";
    }
    void init() { m_http.clearRequests(); }

    void changePassword_data()
    {
        QTest::addColumn<QStringList>("texts"); // current, new, repeated
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("body"); // empty: the form is refused before sending

        const QString port("ws://127.0.0.1:9001");
        const QStringList fresh{"Secret", "Fresh1", "Fresh1"};
        const QByteArray main(R"({"dealer":1001,"manager_login":1000,"master_password":"Fresh1"})");
        QTest::newRow("current password in other case, checked first")
            << QStringList{"secret", "a", "b"} << port << 0 << 200 << "Main password is not correct!" << QByteArray();
        QTest::newRow("a mismatch is reported before an empty new password")
            << QStringList{"Secret", "", "b"} << port << 0 << 200 << "New password does not match!" << QByteArray();
        QTest::newRow("empty new passwords")
            << QStringList{"Secret", "", ""} << port << 0 << 200 << "New password can not be empty!" << QByteArray();
        QTest::newRow("main password, address with port")
            << fresh << port << 0 << 200 << "Password changed successfully!" << main;
        QTest::newRow("read-only password, address without port")
            << fresh << "ws://127.0.0.1" << 1 << 200 << "Password changed successfully!"
            << QByteArray(R"({"dealer":1001,"investor_password":"Fresh1","manager_login":1000})");
        QTest::newRow("an HTTP error is a failure") << fresh << port << 0 << 500 << "Error occured!" << main;
        QTest::newRow("a refused current password is journaled too")
            << fresh << port << 0 << 403 << "Error occured!" << main;
    }
    void changePassword()
    {
        QFETCH(QStringList, texts);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, address);
        m_client.url = QUrl(address);
        m_http.setReply("POST", "/account/update", status, "{}");
        MessageBoxCloser boxes;
        QSignalSpy journal(Logger::instance(), &Logger::logMessage);
        ChangePasswordDlg dialog(&m_client);
        QFETCH(int, type);
        child<QComboBox>(&dialog, "cmbPasswordType")->setCurrentIndex(type);
        fill(&dialog, m_passwordFields, texts);
        dialog.onOK();
        QFETCH(QString, message);
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList{"Change Password: " + message}, patienceMs);
        if (body.isEmpty()) {
            // Only the next, acceptable form reaches the service.
            fill(&dialog, m_passwordFields, {"Secret", "n", "n"});
            dialog.onOK();
            QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 2, patienceMs);
            QCOMPARE(m_http.requests().size(), 1);
            return;
        }
        QCOMPARE(m_http.requests().size(), 1);
        QCOMPARE(m_http.requests().first().contentType, QByteArray("application/json"));
        // The current password goes along, for a service that checks who asks.
        QCOMPARE(QByteArray::fromBase64(m_http.requests().first().authorization.mid(6)), QByteArray("1001:Secret"));
        QCOMPARE(journal.size(), status == 403 ? 1 : 0);
        QCOMPARE(compact(m_http.requests().first().body), body);
        // Only a success clears the current password.
        QCOMPARE(child(&dialog, "txtMain")->text(), status == 200 ? "" : "Secret");
    }

    // Two changes under way at once: each reply reports the kind and password of its own request.
    void changesUnderWayAtOnce()
    {
        m_client.url = QUrl("ws://127.0.0.1:9001");
        m_http.setReply("POST", "/account/update", 200, "{}");
        MessageBoxCloser boxes;
        ChangePasswordDlg dialog(&m_client);
        QSignalSpy changed(&dialog, &ChangePasswordDlg::passwordChanged);
        for (const auto &[type, password] : {std::pair{0, "MainA"}, std::pair{1, "RoB"}}) {
            child<QComboBox>(&dialog, "cmbPasswordType")->setCurrentIndex(type);
            fill(&dialog, m_passwordFields, {"Secret", password, password});
            dialog.onOK();
        }
        QTRY_COMPARE_WITH_TIMEOUT(changed.size(), 2, patienceMs);
        QStringList reported;
        for (const QList<QVariant> &signal : std::as_const(changed))
            reported << QString::number(signal[0].toBool()) + ' ' + signal[1].toString();
        reported.sort();
        QCOMPARE(reported, QStringList({"0 RoB", "1 MainA"}));
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 2, patienceMs);
    }

    void demoAccountRequests_data()
    {
        QTest::addColumn<QStringList>("form"); // name, e-mail, agreed, deposit (500 when left out)
        QTest::addColumn<int>("status");       // 0: nothing may be sent
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("shown"); // the status line, or the new account

        const QStringList ali{"Ali", "a@b.c", "yes"};
        const QString unreadable("The account service sent a reply that could not be read.");
        QTest::newRow("opened") << QStringList{"Ayşe Yılmaz", "a@b.c", "yes"} << 200
                                << QByteArray(R"({"login":70001,"password":"pw1","investor_password":"ro1"})")
                                << "70001 pw1 ro1";
        QTest::newRow("a refusal says why") << ali << 409 << QByteArray(R"({"error":"e-mail in use"})")
                                            << "The account could not be opened: e-mail in use";
        QTest::newRow("a reply with login 0")
            << ali << 200 << QByteArray(R"({"login":0,"password":"x"})") << unreadable;
        QTest::newRow("an oversized reply is cut off")
            << ali << 200 << QByteArray(R"({"login":70001,"password":"pw1")") + QByteArray(200000, ' ') + "}"
            << unreadable;
        QTest::newRow("no name") << QStringList{" ", "a@b.c", "yes"} << 0 << QByteArray() << "Please enter your name.";
        QTest::newRow("an e-mail without @") << QStringList{"Ali", "ab.c", "yes"} << 0 << QByteArray()
                                             << "Please enter a valid e-mail address.";
        QTest::newRow("a deposit of 0") << QStringList{"Ali", "a@b.c", "yes", "0"} << 0 << QByteArray()
                                        << "Please enter a deposit above zero.";
        QTest::newRow("agreement unchecked")
            << QStringList{"Ali", "a@b.c", ""} << 0 << QByteArray() << "Please accept the agreement.";
    }
    void demoAccountRequests()
    {
        QFETCH(QStringList, form);
        QFETCH(int, status);
        QFETCH(QByteArray, reply);
        m_http.setReply("POST", "/account/create", status, reply);
        OpenDemoDlg dialog;
        // The first demo server is preferred.
        dialog.prepare(
            {{"Kestral-Live", "127.0.0.1:9"}, {"Kestral-Demo", "127.0.0.1:9001"}, {"Backup-Demo", "127.0.0.1:9"}});
        fill(&dialog, {"nameEdit", "emailEdit", "phoneEdit"}, {form[0], form[1], "+90 555"});
        child<QCheckBox>(&dialog, "agreementCheck")->setChecked(!form[2].isEmpty());
        child<QComboBox>(&dialog, "depositBox")->setCurrentText(form.value(3, "500"));
        child<QComboBox>(&dialog, "leverageBox")->setCurrentIndex(0);
        child<QPushButton>(&dialog, "openButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(&dialog, "openButton")->isEnabled(), patienceMs);
        QCOMPARE(m_http.requests().size(), status == 0 ? 0 : 1);
        const QString sent(
            R"({"deposit":500,"email":"a@b.c","leverage":1,"name":"%1","phone":"+90 555","server":"Kestral-Demo"})");
        if (status != 0)
            QCOMPARE(compact(m_http.requests().first().body), sent.arg(form[0]).toUtf8());
        const auto *result = child<QGroupBox>(&dialog, "resultGroup");
        QTEST(result->isHidden()
                  ? child<QLabel>(&dialog, "statusLabel")->text()
                  : QStringList({child(&dialog, "loginValue")->text(), child(&dialog, "passwordValue")->text(),
                                 child(&dialog, "investorValue")->text()})
                        .join(' '),
              "shown");

        // Opened again, it starts afresh; without a demo server the first is chosen.
        dialog.prepare({{"Kestral-Live", "127.0.0.1:9"}, {"Kestral-Pro", "127.0.0.1:9"}});
        const auto *servers = child<QComboBox>(&dialog, "serverBox");
        QCOMPARE(QStringList({QString::number(servers->count()), servers->currentText(),
                              child<QComboBox>(&dialog, "depositBox")->currentText(),
                              child<QComboBox>(&dialog, "leverageBox")->currentText(),
                              child(&dialog, "nameEdit")->text() + child(&dialog, "emailEdit")->text() +
                                  child(&dialog, "phoneEdit")->text() + child<QLabel>(&dialog, "statusLabel")->text()}),
                 QStringList({"2", "Kestral-Live", "10000", "1:100", ""}));
        QVERIFY(!child<QCheckBox>(&dialog, "agreementCheck")->isChecked() && result->isHidden());
    }
};

KESTRAL_TEST_MAIN(TestAccountDialogs)
#include "tst_accountdialogs.moc"
