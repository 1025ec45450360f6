#include "aboutdialog.h"
#include "ui_aboutdialog.h"

#include "screenfit.h"
#include "serviceconfig.h"

#include <QDesktopServices>
#include <QEvent>

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::AboutDialog>())
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    m_ui->logoLabel->setPixmap(QIcon(QStringLiteral(":/icon/morwell.ico")).pixmap(40, 40));
    setLinks();
    fitDialogToScreen(this);
    setMinimumSize(700, 410);
}

AboutDialog::~AboutDialog() = default;

void AboutDialog::setLinks()
{
    const QUrl home = serviceconfig::webPage(serviceconfig::WebPage::Home);
    m_ui->websiteLabel->setText(
        QStringLiteral("<a href=\"%1\"><span style=\"text-decoration: underline; color:#0000ff;\">%2</span></a>")
            .arg(home.toString(), home.host()));
    const QString licence = home.toString() + QStringLiteral("/eula//end-user-license-agreement-desktop");
    m_ui->licenseLabel->setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(licence, tr("End-user license agreement")));
}

void AboutDialog::on_iosButton_clicked()
{
    QDesktopServices::openUrl(serviceconfig::webPage(serviceconfig::WebPage::IosApp));
}

void AboutDialog::on_androidButton_clicked()
{
    QDesktopServices::openUrl(serviceconfig::webPage(serviceconfig::WebPage::AndroidApp));
}

void AboutDialog::closeEvent(QCloseEvent *event)
{
    QDialog::closeEvent(event);
}

void AboutDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        m_ui->retranslateUi(this);
        setLinks();
    }
    QDialog::changeEvent(event);
}
