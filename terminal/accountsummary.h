// The account figures of the open-positions replies and the summary line built
// from them and the live net profit.
#pragma once

#include <QJsonObject>
#include <QString>

struct AccountFigures
{
    double balance = 0.0;
    double usedMargin = 0.0;
    double credit = 0.0;
    double swapSum = 0.0;

    double equity(double netProfit) const { return balance + credit + netProfit + swapSum; }
    double freeMargin(double netProfit) const { return balance + credit + netProfit - usedMargin; }
    // Rich text, red with " (soft margin call)" once the free margin is below zero.
    QString summaryText(double netProfit) const;
};

// What the summary line was last built from: most ticks leave every figure as it
// was, and formatting the line again for them is the dearest step of a tick.
class SummaryInputs
{
public:
    // True, and remembered, when the figures differ from the last ones.
    bool changed(const AccountFigures &figures, double netProfit);

private:
    bool m_valid = false;
    AccountFigures m_figures;
    double m_netProfit = 0.0;
};

// Balance, margin and credit of any open-positions reply.
void readAccountFigures(const QJsonObject &reply, AccountFigures &figures);
// Whether the reply is the last page, the one whose positions are loaded.
bool isLastPositionsPage(const QJsonObject &reply);
