#include "TAVO_test_benchTable.h"

#include <algorithm>
#include <cstdio>

void TAVO_test_benchTable::row(const QString &figure, const QString &client, const QString &reference,
                               const QString &ratio)
{
    std::printf("| %-48s | %16s | %20s | %7s |\n", qPrintable(figure), qPrintable(client), qPrintable(reference),
                qPrintable(ratio));
    std::fflush(stdout);
}

QString TAVO_test_benchTable::ms(double value)
{
    return value < 0 ? QStringLiteral("none") : QString::number(value, 'f', value < 10 ? 1 : 0) + QStringLiteral(" ms");
}

QString TAVO_test_benchTable::mib(qint64 kib)
{
    return QString::number(kib / 1024.0, 'f', 1) + QStringLiteral(" MiB");
}

QString TAVO_test_benchTable::percent(double value)
{
    return QString::number(value, 'f', 1) + QStringLiteral(" %");
}

QString TAVO_test_benchTable::ratio(double client, double reference)
{
    return reference > 0 && client >= 0 ? QString::number(client / reference, 'f', 2) : QStringLiteral("-");
}

double TAVO_test_benchTable::median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at(values.size() / 2);
}
