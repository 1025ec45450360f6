#include "opendemodlg.h"
#include "ui_opendemodlg.h"

#include "accountservice.h"
#include "serviceconfig.h"

#include <QEvent>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

constexpr int transferTimeoutMs = 20000;
// A reply is a few short strings; anything much larger is not read.
constexpr qint64 maxReplyBytes = 64 * 1024;

} // namespace

OpenDemoDlg::OpenDemoDlg(QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::OpenDemoDlg>())
    , m_network(new QNetworkAccessManager(this))
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    connect(m_network, &QNetworkAccessManager::finished, this, &OpenDemoDlg::onReply);
    for (int deposit : {1000, 3000, 5000, 10000, 25000, 50000, 100000})
        m_ui->depositBox->addItem(QString::number(deposit));
    for (int leverage : {1, 10, 50, 100, 200, 500})
        m_ui->leverageBox->addItem(QStringLiteral("1:%1").arg(leverage), leverage);
    prepare({});
}

OpenDemoDlg::~OpenDemoDlg() = default;

void OpenDemoDlg::prepare(const QVector<Server> &servers)
{
    if (m_pending)
        m_pending->abort();
    m_ui->serverBox->clear();
    int demoIndex = -1;
    for (const Server &server : servers) {
        m_ui->serverBox->addItem(server.first, server.second);
        if (demoIndex < 0 && server.first.contains(QLatin1String("demo"), Qt::CaseInsensitive))
            demoIndex = m_ui->serverBox->count() - 1;
    }
    m_ui->serverBox->setCurrentIndex(demoIndex >= 0 ? demoIndex : (servers.isEmpty() ? -1 : 0));
    m_ui->depositBox->setCurrentText(QString::number(defaultDeposit));
    m_ui->leverageBox->setCurrentIndex(m_ui->leverageBox->findData(defaultLeverage));
    m_ui->nameEdit->clear();
    m_ui->emailEdit->clear();
    m_ui->phoneEdit->clear();
    m_ui->agreementCheck->setChecked(false);
    m_ui->statusLabel->clear();
    m_ui->statusLabel->hide();
    m_ui->resultGroup->hide();
    m_ui->loginValue->clear();
    m_ui->passwordValue->clear();
    m_ui->investorValue->clear();
    m_ui->openButton->setEnabled(true);
}

void OpenDemoDlg::showStatus(const QString &text)
{
    m_ui->statusLabel->setText(text);
    m_ui->statusLabel->setVisible(!text.isEmpty());
}

void OpenDemoDlg::on_openButton_clicked()
{
    if (m_pending)
        return;
    accountservice::DemoRequest request;
    request.name = m_ui->nameEdit->text().trimmed();
    request.email = m_ui->emailEdit->text().trimmed();
    request.phone = m_ui->phoneEdit->text().trimmed();
    request.server = m_ui->serverBox->currentText();
    bool depositOk = false;
    request.deposit = m_ui->depositBox->currentText().trimmed().toInt(&depositOk);
    request.leverage = m_ui->leverageBox->currentData().toInt();

    if (request.name.isEmpty())
        return showStatus(tr("Please enter your name."));
    if (!request.email.contains(QLatin1Char('@')))
        return showStatus(tr("Please enter a valid e-mail address."));
    if (m_ui->serverBox->currentIndex() < 0)
        return showStatus(tr("Please choose a server."));
    if (!depositOk || request.deposit <= 0)
        return showStatus(tr("Please enter a deposit above zero."));
    if (!m_ui->agreementCheck->isChecked())
        return showStatus(tr("Please accept the agreement."));

    QNetworkRequest http(serviceconfig::accountServiceUrl(m_ui->serverBox->currentData().toString(),
                                                          QString::fromLatin1(accountservice::createPath)));
    http.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    http.setTransferTimeout(transferTimeoutMs);
    m_ui->resultGroup->hide();
    m_ui->openButton->setEnabled(false);
    showStatus(tr("Opening the account..."));
    QNetworkReply *reply =
        m_network->post(http, QJsonDocument(accountservice::demoRequestBody(request)).toJson(QJsonDocument::Compact));
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > maxReplyBytes)
            reply->abort();
    });
    m_pending = reply;
}

void OpenDemoDlg::onReply(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply != m_pending)
        return;
    m_pending = nullptr;
    m_ui->openButton->setEnabled(true);
    const QByteArray body = reply->read(maxReplyBytes);
    if (reply->error() != QNetworkReply::NoError) {
        const QString reason = accountservice::refusalReason(body);
        return showStatus(
            tr("The account could not be opened: %1").arg(reason.isEmpty() ? reply->errorString() : reason));
    }
    accountservice::DemoAccount account;
    if (!accountservice::readDemoAccount(QJsonDocument::fromJson(body).object(), &account))
        return showStatus(tr("The account service sent a reply that could not be read."));
    showStatus(QString());
    m_ui->loginValue->setText(QString::number(account.login));
    m_ui->passwordValue->setText(account.password);
    m_ui->investorValue->setText(account.investorPassword);
    m_ui->resultGroup->show();
}

void OpenDemoDlg::on_cancelButton_clicked()
{
    hide();
}

void OpenDemoDlg::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        m_ui->retranslateUi(this);
    QDialog::changeEvent(event);
}
