#include "showsymboldialog.h"

#include "symboldatastorage.h"
#include "ui_showsymboldialog.h"

#include <QHeaderView>

ShowSymbolDialog::ShowSymbolDialog(SymbolDataStorage *storage, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::ShowSymbolDialog>())
    , m_storage(storage)
{
    m_ui->setupUi(this);
    m_ui->tableWidget->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    refresh();
}

ShowSymbolDialog::~ShowSymbolDialog() = default;

static QTableWidgetItem *readOnlyItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

static QString lots(qint64 wireVolume)
{
    return QString::number(wireVolume / 10000.0, 'f', 2);
}

void ShowSymbolDialog::refresh()
{
    // Filling the check boxes must not read as the user ticking them.
    m_filling = true;
    m_ui->listWidget->clear();
    m_ui->tableWidget->setRowCount(0);
    if (m_storage) {
        const QStringList names = m_storage->symbolNames();
        m_ui->tableWidget->setRowCount(names.size());
        for (int row = 0; row < names.size(); ++row) {
            const SymbolSetting setting = m_storage->symbolSetting(names.at(row));
            auto *item = new QListWidgetItem(names.at(row), m_ui->listWidget);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(setting.visible ? Qt::Checked : Qt::Unchecked);
            const QString cells[] = {setting.symbol,
                                     setting.path,
                                     setting.description,
                                     QString::number(setting.digits),
                                     QString::number(setting.contractSize),
                                     lots(setting.minVol),
                                     lots(setting.maxVol),
                                     lots(setting.stepVol)};
            for (int column = 0; column < 8; ++column)
                m_ui->tableWidget->setItem(row, column, readOnlyItem(cells[column]));
        }
    }
    m_filling = false;
}

void ShowSymbolDialog::on_listWidget_itemChanged(QListWidgetItem *item)
{
    if (m_filling || !m_storage || !item)
        return;
    m_storage->setSymbolVisible(item->text(), item->checkState() == Qt::Checked);
}
