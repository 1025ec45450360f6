// Changes the main or the read-only password of the logged-in account through the
// account service on the trade server's host.
#pragma once

#include <QDialog>
#include <memory>

class QNetworkReply;
class TradeClient;

namespace Ui {
class ChangePasswordDlg;
}

class ChangePasswordDlg : public QDialog
{
    Q_OBJECT

public:
    explicit ChangePasswordDlg(TradeClient *client, QWidget *parent = nullptr);
    ~ChangePasswordDlg() override;

    void clearFields();

signals:
    // After the account service accepted the change.
    void passwordChanged(bool mainPassword, const QString &newPassword);

public slots:
    void onOK();
    void onCancel();
    void onfinish(QNetworkReply *rep);

protected:
    void changeEvent(QEvent *event) override;

private:
    std::unique_ptr<Ui::ChangePasswordDlg> m_ui;
    TradeClient *m_client = nullptr;
};
