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

class TestAccountDialogs : public QObject
{
    Q_OBJECT

    LoopbackHttpServer m_http;
    TradeClient m_client;

    template<typename T> static T *child(QObject *dialog, const char *name)
    {
        return dialog->findChild<T *>(QLatin1String(name));
    }

    static void fillPasswords(ChangePasswordDlg &dialog, const QString &current, const QString &first, const QString &second)
    {
        child<QLineEdit>(&dialog, "txtMain")->setText(current);
        child<QLineEdit>(&dialog, "txtNew1")->setText(first);
        child<QLineEdit>(&dialog, "txtNew2")->setText(second);
    }

    static void fillDemo(OpenDemoDlg &dialog, const QString &name, const QString &email, bool agreed)
    {
        child<QLineEdit>(&dialog, "nameEdit")->setText(name);
        child<QLineEdit>(&dialog, "emailEdit")->setText(email);
        child<QLineEdit>(&dialog, "phoneEdit")->setText("+90 555 0100");
        child<QCheckBox>(&dialog, "agreementCheck")->setChecked(agreed);
    }

private slots:
    void initTestCase()
    {
        qputenv("KESTRAL_ACCOUNT_PORT", QByteArray::number(m_http.port()));
        m_client.login = 1001;
        m_client.password = "Secret";
    }

    void init()
    {
        m_http.clearRequests();
        m_client.url = QUrl("ws://127.0.0.1:9001");
    }

    void passwordFieldsHideTheirText()
    {
        ChangePasswordDlg dialog(&m_client);
        for (const char *name : {"txtMain", "txtNew1", "txtNew2"})
            QCOMPARE(child<QLineEdit>(&dialog, name)->echoMode(), QLineEdit::Password);
    }

    void passwordChecks_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("message");

        QTest::newRow("wrong current password") << "Wrong" << "a" << "a" << "Main password is not correct!";
        QTest::newRow("current password in other case") << "secret" << "a" << "a" << "Main password is not correct!";
        QTest::newRow("the current password is checked first") << "Wrong" << "a" << "b" << "Main password is not correct!";
        QTest::newRow("mismatch is reported before emptiness") << "Secret" << "" << "b" << "New password does not match!";
        QTest::newRow("empty new passwords") << "Secret" << "" << "" << "New password can not be empty!";
    }
    void passwordChecks()
    {
        QFETCH(QString, current);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, message);

        m_http.setReply("POST", "/account/update", 200, "{}");
        MessageBoxCloser boxes;
        ChangePasswordDlg dialog(&m_client);
        fillPasswords(dialog, current, first, second);
        dialog.onOK();
        QCOMPARE(boxes.texts, QStringList{"Change Password: " + message});

        // Only the request that passes the checks reaches the service.
        fillPasswords(dialog, "Secret", "n", "n");
        dialog.onOK();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 2, patienceMs);
        QCOMPARE(m_http.requests().size(), 1);
    }

    void passwordRequests_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("currentAfter");

        QTest::newRow("main password, address with port") << "ws://127.0.0.1:9001" << 0 << 200 << "master_password"
                                                          << "Password changed successfully!" << "";
        QTest::newRow("read-only password, address without port") << "ws://127.0.0.1" << 1 << 200 << "investor_password"
                                                                  << "Password changed successfully!" << "";
        QTest::newRow("an HTTP error is a failure") << "ws://127.0.0.1:9001" << 0 << 500 << "master_password"
                                                    << "Error occured!" << "Secret";
    }
    void passwordRequests()
    {
        QFETCH(QString, address);
        QFETCH(int, type);
        QFETCH(int, status);
        QFETCH(QString, key);
        QFETCH(QString, message);
        QFETCH(QString, currentAfter);

        m_client.url = QUrl(address);
        m_http.setReply("POST", "/account/update", status, "{}");
        MessageBoxCloser boxes;
        ChangePasswordDlg dialog(&m_client);
        child<QComboBox>(&dialog, "cmbPasswordType")->setCurrentIndex(type);
        fillPasswords(dialog, "Secret", "Fresh1", "Fresh1");
        dialog.onOK();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList{"Change Password: " + message}, patienceMs);

        QCOMPARE(m_http.requests().size(), 1);
        const LoopbackHttpServer::Request request = m_http.requests().first();
        QCOMPARE(request.contentType, QByteArray("application/json"));
        const QJsonObject body = QJsonDocument::fromJson(request.body).object();
        QStringList keys{"dealer", key, "manager_login"};
        keys.sort();
        QCOMPARE(body.keys(), keys);
        QCOMPARE(body.value(key).toString(), QString("Fresh1"));
        QCOMPARE(body.value("dealer").toInt(), 1001);
        QCOMPARE(body.value("manager_login").toInt(), 1000);
        QCOMPARE(child<QLineEdit>(&dialog, "txtMain")->text(), currentAfter);
        QCOMPARE(child<QLineEdit>(&dialog, "txtNew2")->text(), QString("Fresh1"));
    }

    void demoDialogResets_data()
    {
        QTest::addColumn<QStringList>("servers");
        QTest::addColumn<QString>("chosen");

        QTest::newRow("the demo server is preferred") << QStringList{"Kestral-Live", "Kestral-Demo", "Backup-Demo"} << "Kestral-Demo";
        QTest::newRow("without one, the first") << QStringList{"Kestral-Live", "Kestral-Pro"} << "Kestral-Live";
        QTest::newRow("no servers at all") << QStringList() << "";
    }
    void demoDialogResets()
    {
        QFETCH(QStringList, servers);
        QFETCH(QString, chosen);

        OpenDemoDlg dialog;
        QVector<OpenDemoDlg::Server> list;
        for (const QString &name : servers)
            list.append({name, "127.0.0.1"});
        dialog.prepare({{"Old", "127.0.0.1"}});
        fillDemo(dialog, "Ayşe", "a@b.c", true);
        child<QComboBox>(&dialog, "depositBox")->setCurrentText("500");
        child<QComboBox>(&dialog, "leverageBox")->setCurrentIndex(0);
        dialog.show();
        child<QGroupBox>(&dialog, "resultGroup")->show();

        dialog.prepare(list);
        QCOMPARE(child<QComboBox>(&dialog, "serverBox")->count(), servers.size());
        QCOMPARE(child<QComboBox>(&dialog, "serverBox")->currentText(), chosen);
        QCOMPARE(child<QComboBox>(&dialog, "depositBox")->currentText(), QString("10000"));
        QCOMPARE(child<QComboBox>(&dialog, "leverageBox")->currentText(), QString("1:100"));
        for (const char *name : {"nameEdit", "emailEdit", "phoneEdit"})
            QVERIFY(child<QLineEdit>(&dialog, name)->text().isEmpty());
        QVERIFY(!child<QCheckBox>(&dialog, "agreementCheck")->isChecked());
        QVERIFY(!child<QGroupBox>(&dialog, "resultGroup")->isVisible());
    }

    void demoAccountRequests_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("email");
        QTest::addColumn<bool>("agreed");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("shown"); // the status line, or the login when the account opened

        QTest::newRow("opened") << "Ayşe Yılmaz" << "a@b.c" << true << 200
                                << QByteArray(R"({"login":70001,"password":"pw1","investor_password":"ro1"})") << "70001";
        QTest::newRow("a refusal says why") << "Ali" << "a@b.c" << true << 409 << QByteArray(R"({"error":"e-mail in use"})")
                                            << "The account could not be opened: e-mail in use";
        QTest::newRow("a reply with login 0") << "Ali" << "a@b.c" << true << 200 << QByteArray(R"({"login":0,"password":"x"})")
                                                 << "The account service sent a reply that could not be read.";
        QTest::newRow("a reply that is not JSON") << "Ali" << "a@b.c" << true << 200 << QByteArray("<html>")
                                                  << "The account service sent a reply that could not be read.";
        QTest::newRow("no name, nothing sent") << " " << "a@b.c" << true << 0 << QByteArray() << "Please enter your name.";
        QTest::newRow("no e-mail, nothing sent") << "Ali" << "ab.c" << true << 0 << QByteArray()
                                                 << "Please enter a valid e-mail address.";
        QTest::newRow("agreement unchecked, nothing sent") << "Ali" << "a@b.c" << false << 0 << QByteArray()
                                                           << "Please accept the agreement.";
    }
    void demoAccountRequests()
    {
        QFETCH(QString, name);
        QFETCH(QString, email);
        QFETCH(bool, agreed);
        QFETCH(int, status);
        QFETCH(QByteArray, reply);
        QFETCH(QString, shown);

        m_http.setReply("POST", "/account/create", status, reply);
        OpenDemoDlg dialog;
        dialog.prepare({{"Kestral-Demo", "127.0.0.1:9001"}});
        fillDemo(dialog, name, email, agreed);
        dialog.show();
        child<QPushButton>(&dialog, "openButton")->click();
        auto *result = child<QGroupBox>(&dialog, "resultGroup");
        auto *statusLabel = child<QLabel>(&dialog, "statusLabel");
        if (status == 0) {
            QCOMPARE(statusLabel->text(), shown);
            QVERIFY(m_http.requests().isEmpty());
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(&dialog, "openButton")->isEnabled(), patienceMs);
        QCOMPARE(m_http.requests().size(), 1);
        const QJsonObject body = QJsonDocument::fromJson(m_http.requests().first().body).object();
        QCOMPARE(body.value("name").toString(), name.trimmed());
        QCOMPARE(body.value("server").toString(), QString("Kestral-Demo"));
        QCOMPARE(body.value("deposit").toInt(), 10000);
        QCOMPARE(body.value("leverage").toInt(), 100);
        QCOMPARE(result->isVisible(), status == 200 && shown == "70001");
        if (result->isVisible()) {
            QCOMPARE(child<QLineEdit>(&dialog, "loginValue")->text(), shown);
            QCOMPARE(child<QLineEdit>(&dialog, "passwordValue")->text(), QString("pw1"));
            QCOMPARE(child<QLineEdit>(&dialog, "investorValue")->text(), QString("ro1"));
        } else {
            QCOMPARE(statusLabel->text(), shown);
        }
    }
};

KESTRAL_TEST_MAIN(TestAccountDialogs)
#include "tst_accountdialogs.moc"
