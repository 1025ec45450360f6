// The HTML account statement: the closed positions as the history table shows them
// and the money totals taken back from the deals footer. Every text comes from the
// trade server, so all of it is escaped.
#pragma once

#include <QDateTime>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

class QTableWidget;

struct StatementContent
{
    qint64 login = 0;
    QString name;
    QString server;
    QDateTime generated;
    QStringList positionHeaders;
    QVector<QStringList> positionRows;
    QString dealsFooter;
};

// "Label: value" pairs of a footer text split at ", " and ": "; a part without
// ": " keeps an empty value.
QVector<QPair<QString, QString>> footerFigures(const QString &footer);

// The header texts and the data rows of a table; footer rows are left out.
QStringList tableHeaders(const QTableWidget *table);
QVector<QStringList> tableDataRows(const QTableWidget *table);
// The text of the table's last row, column 0, or empty.
QString lastRowText(const QTableWidget *table);

QString buildAccountStatement(const StatementContent &content);

// Written whole or not at all; false with a reason when the file cannot be written.
bool writeAccountStatement(const QString &path, const QString &html, QString *error = nullptr);
