// The journal tab: one row per logged event, oldest rows dropped past a bound so a
// terminal left running for days keeps a fixed footprint.
#pragma once

#include <QDateTime>
#include <QTreeWidget>

class JournalWidget : public QTreeWidget
{
    Q_OBJECT

public:
    static constexpr int DefaultRowLimit = 5000;

    explicit JournalWidget(QWidget *parent = nullptr);
    ~JournalWidget() override;

    void setRowLimit(int limit);
    int rowLimit() const { return m_rowLimit; }

public slots:
    void addItem(QDateTime time, QString title, QString message);

protected:
    void changeEvent(QEvent *event) override;

private:
    void trim();
    void fitTimeColumn();

    int m_rowLimit = DefaultRowLimit;
};
