#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include "KTableDetector.h"

namespace engines {

// Builds a one-sheet .xlsx workbook with libxlsxwriter: either free rows of
// text (one recognised line per row) or a ruled table with merged ranges.
// libxlsxwriter only writes files, so the workbook passes through a private
// temporary folder that is removed again. Plain value object; one thread.
class KXlsxWriter
{
public:
    void addRow(const QStringList &cells);
    // Replaces the rows by a bordered table with merged ranges for spans.
    void setTable(const TableGrid &grid);

    QByteArray toXlsx(QString *error) const;

private:
    QVector<QStringList> m_rows;
    TableGrid m_table;
    bool m_hasTable = false;
};

} // namespace engines
