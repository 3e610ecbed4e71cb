#pragma once

#include <QList>
#include <QString>

// The benchmark programs print their figures as rows of one table (scripts/bench.sh prints the
// header): the figure, the client's value, the reference tool's value and their ratio.
namespace TAVO_test_benchTable {

void row(const QString &figure, const QString &client, const QString &reference = QString(),
         const QString &ratio = QString());

QString ms(double value);  // "none" for a negative value: nothing was seen
QString mib(qint64 kib);
QString percent(double value);
QString ratio(double client, double reference);
// The middle value (the upper of the two middle ones), -1 for none.
double median(QList<double> values);

} // namespace TAVO_test_benchTable
