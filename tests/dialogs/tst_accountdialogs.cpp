// The change-password and demo-account dialogs against a loopback account service.
#include "changepassworddlg.h"
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

    void passwordChecks_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("message");

        QTest::newRow("wrong current password") << QStringList{"Wrong", "a", "a"} << "Main password is not correct!";
        QTest::newRow("current password in other case")
            << QStringList{"secret", "a", "a"} << "Main password is not correct!";
        QTest::newRow("the current password is checked first")
            << QStringList{"Wrong", "a", "b"} << "Main password is not correct!";
        QTest::newRow("mismatch is reported before emptiness")
            << QStringList{"Secret", "", "b"} << "New password does not match!";
        QTest::newRow("empty new passwords") << QStringList{"Secret", "", ""} << "New password can not be empty!";
    }
    void passwordChecks()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, message);

        m_client.url = QUrl("ws://127.0.0.1:9001");
        m_http.setReply("POST", "/account/update", 200, "{}");
        MessageBoxCloser boxes;
        ChangePasswordDlg dialog(&m_client);
        fill(&dialog, m_passwordFields, texts);
        dialog.onOK();
        QCOMPARE(boxes.texts, QStringList{"Change Password: " + message});

        // Only the request that passes the checks reaches the service.
        fill(&dialog, m_passwordFields, {"Secret", "n", "n"});
        dialog.onOK();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 2, patienceMs);
        QCOMPARE(m_http.requests().size(), 1);
    }

    void passwordRequests_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("body");

        const QByteArray main(R"({"dealer":1001,"manager_login":1000,"master_password":"Fresh1"})");
        QTest::newRow("main password, address with port")
            << "ws://127.0.0.1:9001" << 0 << 200 << "Password changed successfully!" << main;
        QTest::newRow("read-only password, address without port")
            << "ws://127.0.0.1" << 1 << 200 << "Password changed successfully!"
            << QByteArray(R"({"dealer":1001,"investor_password":"Fresh1","manager_login":1000})");
        QTest::newRow("an HTTP error is a failure") << "ws://127.0.0.1:9001" << 0 << 500 << "Error occured!" << main;
    }
    void passwordRequests()
    {
        QFETCH(QString, address);
        QFETCH(int, type);
        QFETCH(int, status);
        QFETCH(QString, message);
        m_client.url = QUrl(address);
        m_http.setReply("POST", "/account/update", status, "{}");
        MessageBoxCloser boxes;
        ChangePasswordDlg dialog(&m_client);
        for (const QString &name : m_passwordFields)
            QCOMPARE(child(&dialog, qPrintable(name))->echoMode(), QLineEdit::Password);
        child<QComboBox>(&dialog, "cmbPasswordType")->setCurrentIndex(type);
        fill(&dialog, m_passwordFields, {"Secret", "Fresh1", "Fresh1"});
        dialog.onOK();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList{"Change Password: " + message}, patienceMs);

        QCOMPARE(m_http.requests().size(), 1);
        QCOMPARE(m_http.requests().first().contentType, QByteArray("application/json"));
        QTEST(QJsonDocument::fromJson(m_http.requests().first().body).toJson(QJsonDocument::Compact), "body");
        // Only a success clears the current password; the new ones stay.
        QCOMPARE(child(&dialog, "txtMain")->text(), status == 200 ? "" : "Secret");
        QCOMPARE(child(&dialog, "txtNew2")->text(), QString("Fresh1"));
    }

    void demoDialogResets_data()
    {
        QTest::addColumn<QStringList>("servers");
        QTest::addColumn<QString>("chosen");

        QTest::newRow("the first demo server is preferred")
            << QStringList{"Kestral-Live", "Kestral-Demo", "Backup-Demo"} << "Kestral-Demo";
        QTest::newRow("without one, the first") << QStringList{"Kestral-Live", "Kestral-Pro"} << "Kestral-Live";
        QTest::newRow("no servers at all") << QStringList() << "";
    }
    void demoDialogResets()
    {
        QFETCH(QStringList, servers);
        OpenDemoDlg dialog;
        QVector<OpenDemoDlg::Server> list;
        for (const QString &name : servers)
            list.append({name, "127.0.0.1"});
        dialog.prepare({{"Old", "127.0.0.1"}});
        fill(&dialog, {"nameEdit", "emailEdit", "phoneEdit"}, {"Ayşe", "a@b.c", "1"});
        child<QCheckBox>(&dialog, "agreementCheck")->setChecked(true);
        child<QComboBox>(&dialog, "depositBox")->setCurrentText("500");
        child<QComboBox>(&dialog, "leverageBox")->setCurrentIndex(0);
        dialog.show();
        child<QGroupBox>(&dialog, "resultGroup")->show();

        dialog.prepare(list);
        QCOMPARE(child<QComboBox>(&dialog, "serverBox")->count(), servers.size());
        QTEST(child<QComboBox>(&dialog, "serverBox")->currentText(), "chosen");
        QCOMPARE(child<QComboBox>(&dialog, "depositBox")->currentText() + " " +
                     child<QComboBox>(&dialog, "leverageBox")->currentText(),
                 QString("10000 1:100"));
        QCOMPARE(child(&dialog, "nameEdit")->text() + child(&dialog, "emailEdit")->text() +
                     child(&dialog, "phoneEdit")->text(),
                 QString());
        QVERIFY(!child<QCheckBox>(&dialog, "agreementCheck")->isChecked());
        QVERIFY(!child<QGroupBox>(&dialog, "resultGroup")->isVisible());
    }

    void demoAccountRequests_data()
    {
        QTest::addColumn<QStringList>("form"); // name, e-mail, agreed
        QTest::addColumn<int>("status");       // 0: nothing may be sent
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("shown"); // the status line, or the new account

        QTest::newRow("opened") << QStringList{"Ayşe Yılmaz", "a@b.c", "yes"} << 200
                                << QByteArray(R"({"login":70001,"password":"pw1","investor_password":"ro1"})")
                                << "70001 pw1 ro1";
        QTest::newRow("a refusal says why")
            << QStringList{"Ali", "a@b.c", "yes"} << 409 << QByteArray(R"({"error":"e-mail in use"})")
            << "The account could not be opened: e-mail in use";
        QTest::newRow("a reply with login 0")
            << QStringList{"Ali", "a@b.c", "yes"} << 200 << QByteArray(R"({"login":0,"password":"x"})")
            << "The account service sent a reply that could not be read.";
        QTest::newRow("a reply that is not JSON") << QStringList{"Ali", "a@b.c", "yes"} << 200 << QByteArray("<html>")
                                                  << "The account service sent a reply that could not be read.";
        QTest::newRow("an oversized reply is cut off")
            << QStringList{"Ali", "a@b.c", "yes"} << 200
            << QByteArray(R"({"login":70001,"password":"pw1")") + QByteArray(200000, ' ') + "}"
            << "The account service sent a reply that could not be read.";
        QTest::newRow("no name") << QStringList{" ", "a@b.c", "yes"} << 0 << QByteArray() << "Please enter your name.";
        QTest::newRow("no e-mail") << QStringList{"Ali", "ab.c", "yes"} << 0 << QByteArray()
                                   << "Please enter a valid e-mail address.";
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
        dialog.prepare({{"Kestral-Demo", "127.0.0.1:9001"}});
        fill(&dialog, {"nameEdit", "emailEdit", "phoneEdit"}, {form[0], form[1], "+90 555"});
        child<QCheckBox>(&dialog, "agreementCheck")->setChecked(!form[2].isEmpty());
        dialog.show();
        child<QPushButton>(&dialog, "openButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(&dialog, "openButton")->isEnabled(), patienceMs);
        QCOMPARE(m_http.requests().size(), status == 0 ? 0 : 1);
        if (status != 0) {
            QCOMPARE(
                QJsonDocument::fromJson(m_http.requests().first().body).toJson(QJsonDocument::Compact),
                QString(
                    R"({"deposit":10000,"email":"a@b.c","leverage":100,"name":"%1","phone":"+90 555","server":"Kestral-Demo"})")
                    .arg(form[0])
                    .toUtf8());
        }
        const bool opened = child<QGroupBox>(&dialog, "resultGroup")->isVisible();
        QTEST(opened ? QStringList({child(&dialog, "loginValue")->text(), child(&dialog, "passwordValue")->text(),
                                    child(&dialog, "investorValue")->text()})
                           .join(' ')
                     : child<QLabel>(&dialog, "statusLabel")->text(),
              "shown");
    }
};

KESTRAL_TEST_MAIN(TestAccountDialogs)
#include "tst_accountdialogs.moc"
