#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QVector>

// Fixture makers and independent readers of the engines' documents. The
// readers unpack with libzip and walk the XML themselves; they share no code
// with the writers they check.
namespace EngineTestUtils {

// One cell of an expected or parsed table.
struct Cell
{
    int row = 0;
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;
    QString text;
    bool operator==(const Cell &o) const
    {
        return row == o.row && column == o.column && rowSpan == o.rowSpan
            && columnSpan == o.columnSpan && text == o.text;
    }
};

struct Table
{
    int rows = 0;
    int columns = 0;
    QVector<Cell> cells; // row-major by top-left corner
};

// The bytes of one entry of a zip archive; empty when the archive or the
// entry cannot be read (ok then false).
QByteArray zipEntry(const QByteArray &archive, const QString &name, bool *ok = nullptr);
QStringList zipEntryNames(const QByteArray &archive);

// Paragraph texts of word/document.xml outside tables, in order.
QStringList docxParagraphs(const QByteArray &docx);
// The first table of the document with spans rebuilt from gridSpan/vMerge.
Table docxTable(const QByteArray &docx);
// Cell texts of the first worksheet as rows of columns (shared strings resolved).
QVector<QStringList> xlsxRows(const QByteArray &xlsx);
// The first worksheet as a table with spans from its merged ranges.
Table xlsxTable(const QByteArray &xlsx);

// Black text on white, one entry per line, a blank entry leaves a blank line.
QImage renderText(const QStringList &lines, int pixelSize, int width = 0);
// A ruled table: cell texts by grid position; spanning cells given once with
// their spans (cells they cover are left out of cells).
QImage renderTable(const Table &table, int cellWidth, int cellHeight, int pixelSize,
    const QString &family = QStringLiteral("DejaVu Sans"), const QColor &rule = Qt::black,
    int ruleWidth = 2);
QByteArray png(const QImage &image);
// Writes bytes to path; false when that fails.
bool writeTo(const QString &path, const QByteArray &bytes);
// The PNG with the size in its header replaced (and the header's CRC fixed),
// pixel data left as it was.
QByteArray withPngSize(const QByteArray &png, quint32 width, quint32 height);
QByteArray jpeg(const QImage &image, int quality = 92);

QString describe(const Table &table);

} // namespace EngineTestUtils
