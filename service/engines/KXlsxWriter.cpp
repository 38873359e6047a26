#include "KXlsxWriter.h"

#include <xlsxwriter.h>

#include <QFile>
#include <QTemporaryDir>

#include "KDocxWriter.h"

namespace engines {

void KXlsxWriter::addRow(const QStringList &cells) { m_rows.append(cells); }

void KXlsxWriter::setTable(const TableGrid &grid)
{
    m_table = grid;
    m_hasTable = true;
    m_rows.clear();
}

namespace {

// Excel column width in characters for a width in picture pixels (about
// seven pixels per character at the default font), within sane bounds.
double columnWidth(int pixels) { return qBound(6.0, pixels / 7.0, 80.0); }

QByteArray cellText(const QString &text)
{
    // Excel's limit per cell; recognition never comes close, but a corrupt
    // input must not produce a workbook Excel refuses.
    return xmlSafe(text).left(32767).toUtf8();
}

} // namespace

QByteArray KXlsxWriter::toXlsx(QString *error) const
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        if (error)
            *error = QStringLiteral("no temporary folder for the workbook");
        return QByteArray();
    }
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("result.xlsx")));
    lxw_workbook *workbook = workbook_new(path.constData());
    if (!workbook) {
        if (error)
            *error = QStringLiteral("the workbook could not be created");
        return QByteArray();
    }
    lxw_worksheet *sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_format *wrap = workbook_add_format(workbook);
    format_set_text_wrap(wrap);
    format_set_align(wrap, LXW_ALIGN_VERTICAL_TOP);
    lxw_format *boxed = workbook_add_format(workbook);
    format_set_text_wrap(boxed);
    format_set_align(boxed, LXW_ALIGN_VERTICAL_CENTER);
    format_set_border(boxed, LXW_BORDER_THIN);

    lxw_error status = LXW_NO_ERROR;
    const auto keep = [&status](lxw_error e) {
        if (status == LXW_NO_ERROR && e != LXW_NO_ERROR)
            status = e;
    };
    if (m_hasTable) {
        for (int c = 0; c < m_table.columns(); ++c)
            keep(worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c),
                columnWidth(m_table.columnEdges[c + 1] - m_table.columnEdges[c]), nullptr));
        for (const TableCell &cell : m_table.cells) {
            const QByteArray text = cellText(cell.text);
            if (cell.rowSpan > 1 || cell.columnSpan > 1)
                keep(worksheet_merge_range(sheet, lxw_row_t(cell.row), lxw_col_t(cell.column),
                    lxw_row_t(cell.row + cell.rowSpan - 1),
                    lxw_col_t(cell.column + cell.columnSpan - 1), text.constData(), boxed));
            else
                keep(worksheet_write_string(
                    sheet, lxw_row_t(cell.row), lxw_col_t(cell.column), text.constData(), boxed));
        }
    } else {
        int widest = 0;
        for (const QStringList &row : m_rows)
            widest = qMax(widest, row.size());
        if (widest > 0)
            keep(worksheet_set_column(sheet, 0, lxw_col_t(widest - 1), 24, nullptr));
        for (int r = 0; r < m_rows.size(); ++r) {
            for (int c = 0; c < m_rows[r].size(); ++c) {
                if (m_rows[r][c].isEmpty())
                    continue;
                keep(worksheet_write_string(
                    sheet, lxw_row_t(r), lxw_col_t(c), cellText(m_rows[r][c]).constData(), wrap));
            }
        }
    }
    const lxw_error closed = workbook_close(workbook);
    keep(closed);
    if (status != LXW_NO_ERROR) {
        if (error)
            *error = QString::fromUtf8(lxw_strerror(status));
        return QByteArray();
    }
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("the workbook could not be read back");
        return QByteArray();
    }
    return file.readAll();
}

} // namespace engines
