// Opens a demo account through the account service of a chosen trade server.
#pragma once

#include <QDialog>
#include <QPair>
#include <QPointer>
#include <QVector>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace Ui {
class OpenDemoDlg;
}

class OpenDemoDlg : public QDialog
{
    Q_OBJECT

public:
    // A trade server as the broker list names it: its name and its address.
    using Server = QPair<QString, QString>;

    static constexpr int defaultDeposit = 10000;
    static constexpr int defaultLeverage = 100;

    explicit OpenDemoDlg(QWidget *parent = nullptr);
    ~OpenDemoDlg() override;

    // Resets the dialog before it is shown.
    void prepare(const QVector<Server> &servers);

private slots:
    void on_openButton_clicked();
    void on_cancelButton_clicked();
    void onReply(QNetworkReply *reply);

protected:
    void changeEvent(QEvent *event) override;

private:
    void showStatus(const QString &text);

    std::unique_ptr<Ui::OpenDemoDlg> m_ui;
    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_pending;
};
