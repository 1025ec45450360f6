#include "chartobjectlistdialog.h"

#include "symbolchartwidget.h"
#include "ui_chartobjectlistdialog.h"

#include <QScreen>
#include <QScrollBar>
#include <algorithm>

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
    // Whole names and every row, as far as two thirds of the screen allow.
    QListWidget *list = ui->listWidget;
    const QSize room = (screen() ? screen()->availableSize() : QSize(1024, 768)) * 2 / 3;
    const int frame = 2 * list->frameWidth();
    const int width = list->sizeHintForColumn(0) + frame + list->verticalScrollBar()->sizeHint().width();
    list->doItemsLayout();
    const int height = list->count() ? list->visualItemRect(list->item(list->count() - 1)).bottom() + 1 + frame : 0;
    list->setMinimumSize(std::min(width, room.width()), std::min(height, room.height()));
    adjustSize();
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
    const QList<QPair<QCPAbstractItem *, QString>> objects = owner->objectsInDrawingOrder();
    for (const auto &object : objects) {
        auto *row = new QListWidgetItem(object.second);
        row->setData(Qt::UserRole, QVariant::fromValue(object.first));
        ui->listWidget->addItem(row);
    }
    ui->deleteButton->setEnabled(false);
    if (objects.isEmpty()) {
        owner->objectNamesForCurrentPeriod(); // its warning names the empty period
        ui->deleteAllButton->setEnabled(false);
    }
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
