#include "accountstatement.h"

#include "footeritem.h"

#include <QSaveFile>
#include <QTableWidget>

QVector<QPair<QString, QString>> footerFigures(const QString &footer)
{
    QVector<QPair<QString, QString>> figures;
    const QStringList parts = footer.split(QStringLiteral(", "), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const int colon = part.indexOf(QStringLiteral(": "));
        if (colon < 0)
            figures.append({part, QString()});
        else
            figures.append({part.left(colon), part.mid(colon + 2)});
    }
    return figures;
}

QStringList tableHeaders(const QTableWidget *table)
{
    QStringList headers;
    for (int column = 0; column < table->columnCount(); ++column) {
        const QTableWidgetItem *item = table->horizontalHeaderItem(column);
        headers.append(item ? item->text() : QString());
    }
    return headers;
}

static bool isFooterRow(const QTableWidget *table, int row)
{
    const QTableWidgetItem *first = table->item(row, 0);
    return first && first->type() == QTableWidgetItem::UserType && static_cast<const FooterItem *>(first)->isFooter();
}

QVector<QStringList> tableDataRows(const QTableWidget *table)
{
    QVector<QStringList> rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (isFooterRow(table, row))
            continue;
        QStringList cells;
        for (int column = 0; column < table->columnCount(); ++column) {
            const QTableWidgetItem *item = table->item(row, column);
            cells.append(item ? item->text() : QString());
        }
        rows.append(cells);
    }
    return rows;
}

QString lastRowText(const QTableWidget *table)
{
    const QTableWidgetItem *item = table->rowCount() > 0 ? table->item(table->rowCount() - 1, 0) : nullptr;
    return item ? item->text() : QString();
}

// Characters XML does not allow anywhere in a document (control characters but tab and
// line breaks, lone surrogates, U+FFFE and U+FFFF) become U+FFFD, so the statement stays
// well-formed whatever the server sent.
static QString xmlCharactersOnly(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
            continue;
        }
        const ushort u = c.unicode();
        const bool allowed = u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u < 0xFFFE && !c.isSurrogate());
        out += allowed ? c : QChar(QChar::ReplacementCharacter);
    }
    return out;
}

static QString cell(const char *tag, const QString &text)
{
    return QStringLiteral("<%1>%2</%1>").arg(QLatin1String(tag), xmlCharactersOnly(text).toHtmlEscaped());
}

QString buildAccountStatement(const StatementContent &content)
{
    QString html;
    html += QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
                           "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n"
                           "<html xmlns=\"http://www.w3.org/1999/xhtml\">\n<head>\n"
                           "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\" />\n");
    html +=
        QStringLiteral("<title>%1</title>\n").arg(QStringLiteral("Statement: %1").arg(content.login).toHtmlEscaped());
    html += QStringLiteral("<style type=\"text/css\">table{border-collapse:collapse}td,th{border:1px solid #999;"
                           "padding:2px 6px;font:9pt sans-serif}th{background:#ddd}</style>\n</head>\n<body>\n");
    html += QStringLiteral("<table>\n<tr>%1%2</tr>\n<tr>%3%4</tr>\n<tr>%5%6</tr>\n<tr>%7%8</tr>\n</table>\n")
                .arg(cell("th", QStringLiteral("Account")), cell("td", QString::number(content.login)),
                     cell("th", QStringLiteral("Name")), cell("td", content.name), cell("th", QStringLiteral("Server")),
                     cell("td", content.server), cell("th", QStringLiteral("Date")),
                     cell("td", content.generated.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));

    html += QStringLiteral("<h3>Closed positions</h3>\n<table>\n<tr>");
    for (const QString &header : content.positionHeaders)
        html += cell("th", header);
    html += QStringLiteral("</tr>\n");
    for (const QStringList &row : content.positionRows) {
        html += QStringLiteral("<tr>");
        for (const QString &text : row)
            html += cell("td", text);
        html += QStringLiteral("</tr>\n");
    }
    html += QStringLiteral("</table>\n<h3>Summary</h3>\n<table>\n");
    for (const auto &figure : footerFigures(content.dealsFooter))
        html += QStringLiteral("<tr>%1%2</tr>\n").arg(cell("th", figure.first), cell("td", figure.second));
    html += QStringLiteral("</table>\n</body>\n</html>\n");
    return html;
}

bool writeAccountStatement(const QString &path, const QString &html, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(html.toUtf8()) < 0 || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
