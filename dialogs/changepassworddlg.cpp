#include "changepassworddlg.h"
#include "ui_changepassworddlg.h"

#include "accountservice.h"
#include "logger.h"
#include "serviceconfig.h"
#include "tradeclient.h"

#include <QEvent>
#include <QJsonDocument>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

constexpr char mainPasswordProperty[] = "kestralMainPassword";
constexpr char newPasswordProperty[] = "kestralNewPassword";

} // namespace

ChangePasswordDlg::ChangePasswordDlg(TradeClient *client, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::ChangePasswordDlg>())
    , m_client(client)
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    connect(m_ui->btnOK, &QPushButton::clicked, this, &ChangePasswordDlg::onOK);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &ChangePasswordDlg::onCancel);
}

ChangePasswordDlg::~ChangePasswordDlg() = default;

void ChangePasswordDlg::clearFields()
{
    m_ui->txtMain->clear();
    m_ui->txtNew1->clear();
    m_ui->txtNew2->clear();
}

void ChangePasswordDlg::onOK()
{
    const QString current = m_ui->txtMain->text();
    const QString first = m_ui->txtNew1->text();
    const QString second = m_ui->txtNew2->text();
    // Compared with the untranslated text, so that a translated form still picks the right key.
    const bool mainPassword = m_ui->cmbPasswordType->currentIndex() == 0;
    const QString title = tr("Change Password");

    if (!m_client || current != m_client->password) {
        QMessageBox::critical(nullptr, title, tr("Main password is not correct!"));
        return;
    }
    if (first != second) {
        QMessageBox::critical(nullptr, title, tr("New password does not match!"));
        return;
    }
    if (first.isEmpty()) {
        QMessageBox::critical(nullptr, title, tr("New password can not be empty!"));
        return;
    }

    auto *network = new QNetworkAccessManager(this);
    connect(network, &QNetworkAccessManager::finished, this, &ChangePasswordDlg::onfinish);
    connect(network, &QNetworkAccessManager::finished, network, &QObject::deleteLater);
    QNetworkRequest request(
        serviceconfig::accountServiceUrl(m_client->url.toString(), QString::fromLatin1(accountservice::updatePath)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setRawHeader("Authorization", accountservice::passwordChangeAuthorization(m_client->login, current));
    const QJsonObject body = accountservice::passwordChangeBody(mainPassword, second, m_client->login);
    QNetworkReply *reply = network->post(request, QJsonDocument(body).toJson());
    // Several changes may be under way: each reply reports its own.
    reply->setProperty(mainPasswordProperty, mainPassword);
    reply->setProperty(newPasswordProperty, second);
}

void ChangePasswordDlg::onCancel()
{
    hide();
}

void ChangePasswordDlg::onfinish(QNetworkReply *rep)
{
    const QString title = tr("Change Password");
    if (rep->error() != QNetworkReply::NoError) {
        const int status = rep->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status == 401 || status == 403)
            Logger::instance()->log(QStringLiteral("Terminal"),
                                    QStringLiteral("%1 password change refused: the account service did not accept "
                                                   "the login and current password (HTTP %2)")
                                        .arg(m_client->login)
                                        .arg(status));
        QMessageBox::critical(nullptr, title, tr("Error occured!"));
        return;
    }
    emit passwordChanged(rep->property(mainPasswordProperty).toBool(), rep->property(newPasswordProperty).toString());
    QMessageBox::information(nullptr, title, tr("Password changed successfully!"));
    m_ui->txtMain->clear();
}

void ChangePasswordDlg::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        m_ui->retranslateUi(this);
    QDialog::changeEvent(event);
}
