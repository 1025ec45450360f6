#include "chartobjectlistdialog.h"

#include "symbolchartwidget.h"
#include "ui_chartobjectlistdialog.h"

namespace {

// Read without qvariant_cast, which would dereference the pointer to check its
// type; the chart only compares it with the items it holds.
QCPAbstractItem *itemOf(const QListWidgetItem *row)
{
    const QVariant data = row->data(Qt::UserRole);
    return data.userType() == qMetaTypeId<QCPAbstractItem *>()
               ? *static_cast<QCPAbstractItem *const *>(data.constData())
               : nullptr;
}

} // namespace

ChartObjectListDialog::ChartObjectListDialog(SymbolChartWidget *chart)
    : QDialog(chart)
    , ui(std::make_unique<Ui::ChartObjectListDialog>())
{
    qRegisterMetaType<QCPAbstractItem *>();
    ui->setupUi(this);
    refreshObjectList();
    setWindowTitle(QStringLiteral("Object List"));
}

ChartObjectListDialog::~ChartObjectListDialog() = default;

SymbolChartWidget *ChartObjectListDialog::chart() const
{
    return qobject_cast<SymbolChartWidget *>(parent());
}

void ChartObjectListDialog::refreshObjectList()
{
    SymbolChartWidget *owner = chart();
    if (!owner)
        return;
    ui->listWidget->clear();
    const QMap<QCPAbstractItem *, QString> names = owner->objectNamesForCurrentPeriod();
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        auto *row = new QListWidgetItem(it.value());
        row->setData(Qt::UserRole, QVariant::fromValue(it.key()));
        ui->listWidget->addItem(row);
    }
    ui->deleteButton->setEnabled(false);
    if (names.isEmpty())
        ui->deleteAllButton->setEnabled(false);
}

void ChartObjectListDialog::on_listWidget_currentRowChanged(int currentRow)
{
    ui->deleteButton->setEnabled(currentRow >= 0);
}

void ChartObjectListDialog::on_closeButton_clicked()
{
    accept();
}

void ChartObjectListDialog::on_deleteButton_clicked()
{
    const QListWidgetItem *row = ui->listWidget->currentItem();
    SymbolChartWidget *owner = chart();
    if (!row || !owner)
        return;
    QCPAbstractItem *item = itemOf(row);
    if (!item)
        return;
    owner->removeObject(item);
    ui->listWidget->setCurrentRow(-1);
    refreshObjectList();
}

void ChartObjectListDialog::on_deleteAllButton_clicked()
{
    SymbolChartWidget *owner = chart();
    for (int i = 0; owner && i < ui->listWidget->count(); ++i) {
        if (QCPAbstractItem *item = itemOf(ui->listWidget->item(i)))
            owner->removeObject(item);
    }
    ui->listWidget->clear();
    ui->deleteButton->setEnabled(false);
    ui->deleteAllButton->setEnabled(false);
}
