#include "accountsummary.h"

#include <QJsonArray>
#include <cmath>

static QString figure(double value)
{
    // Past 15 digits a double holds no cents; a server's 1e308 would print 309 digits.
    if (std::abs(value) < 1e15)
        return QString::number(value, 'f', 2);
    return QString::number(value, 'g', 6);
}

QString AccountFigures::summaryText(double netProfit) const
{
    QString text = QStringLiteral(" Balance: ") + figure(balance) + QStringLiteral(" USD, Net profit: ") +
                   figure(netProfit) + QStringLiteral(", Equity: ") + figure(equity(netProfit)) +
                   QStringLiteral(" USD");
    if (credit != 0.0)
        text += QStringLiteral(", Credit: ") + figure(credit);
    text += QStringLiteral(", Used margin: ") + figure(usedMargin) + QStringLiteral(", Free margin: ") +
            figure(freeMargin(netProfit));
    if (freeMargin(netProfit) < 0.0)
        text = QStringLiteral("<font color='red'>") + text + QStringLiteral(" (soft margin call)</font>");
    return text;
}

bool SummaryInputs::changed(const AccountFigures &figures, double netProfit)
{
    if (m_valid && figures.balance == m_figures.balance && figures.usedMargin == m_figures.usedMargin &&
        figures.credit == m_figures.credit && figures.swapSum == m_figures.swapSum && netProfit == m_netProfit)
        return false;
    m_valid = true;
    m_figures = figures;
    m_netProfit = netProfit;
    return true;
}

void readAccountFigures(const QJsonObject &reply, AccountFigures &figures)
{
    figures.balance = reply.value("balance").toDouble();
    figures.usedMargin = reply.value("margin").toDouble();
    figures.credit = reply.value("credit").toDouble();
}

bool isLastPositionsPage(const QJsonObject &reply)
{
    const QJsonValue value = reply.value("is_last");
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    return std::trunc(number) == number && number != 0.0;
}
