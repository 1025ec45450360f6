// The modal list of the objects drawn on a chart's current period, to delete
// one of them or all.
#pragma once

#include <QDialog>
#include <memory>

class SymbolChartWidget;

namespace Ui {
class ChartObjectListDialog;
}

class ChartObjectListDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ChartObjectListDialog(SymbolChartWidget *chart);
    ~ChartObjectListDialog() override;

    void refreshObjectList();

private slots:
    void on_listWidget_currentRowChanged(int currentRow);
    void on_closeButton_clicked();
    void on_deleteButton_clicked();
    void on_deleteAllButton_clicked();

private:
    SymbolChartWidget *chart() const;

    std::unique_ptr<Ui::ChartObjectListDialog> ui;
};
