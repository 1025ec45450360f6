// The symbol list: a check box per symbol for the market watch, and the symbols'
// specifications.
#pragma once

#include <QDialog>
#include <memory>

class QListWidgetItem;
class SymbolDataStorage;

namespace Ui {
class ShowSymbolDialog;
}

class ShowSymbolDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ShowSymbolDialog(SymbolDataStorage *storage, QWidget *parent = nullptr);
    ~ShowSymbolDialog() override;

    // Reads the symbols and their specifications again.
    void refresh();

private slots:
    void on_listWidget_itemChanged(QListWidgetItem *item);

private:
    std::unique_ptr<Ui::ShowSymbolDialog> m_ui;
    SymbolDataStorage *m_storage = nullptr;
    bool m_filling = false;
};
