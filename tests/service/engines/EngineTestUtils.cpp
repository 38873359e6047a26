#include "EngineTestUtils.h"

#include <zip.h>

#include <QBuffer>
#include <QFile>
#include <QMap>
#include <QPainter>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace EngineTestUtils {

namespace {

struct Archive
{
    zip_source_t *source = nullptr;
    zip_t *zip = nullptr;
    explicit Archive(const QByteArray &bytes)
    {
        zip_error_t error;
        zip_error_init(&error);
        source = zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &error);
        if (source)
            zip = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
        if (source && !zip)
            zip_source_free(source);
        zip_error_fini(&error);
    }
    ~Archive()
    {
        if (zip)
            zip_discard(zip);
    }
};

QString wordAttribute(const QXmlStreamReader &xml, const char *name)
{
    return xml.attributes()
        .value(QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main"),
            QString::fromLatin1(name))
        .toString();
}

// "B12" -> (11, 1)
void cellRef(const QString &ref, int *row, int *column)
{
    const QRegularExpressionMatch m
        = QRegularExpression(QStringLiteral("^([A-Z]+)(\\d+)$")).match(ref);
    *row = -1;
    *column = -1;
    if (!m.hasMatch())
        return;
    int col = 0;
    for (const QChar c : m.captured(1))
        col = col * 26 + (c.unicode() - 'A' + 1);
    *column = col - 1;
    *row = m.captured(2).toInt() - 1;
}

QFont pixelFont(const QString &family, int pixelSize)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

} // namespace

QByteArray zipEntry(const QByteArray &archive, const QString &name, bool *ok)
{
    if (ok)
        *ok = false;
    Archive a(archive);
    if (!a.zip)
        return QByteArray();
    zip_stat_t st;
    const QByteArray n = name.toUtf8();
    if (zip_stat(a.zip, n.constData(), 0, &st) != 0)
        return QByteArray();
    zip_file_t *file = zip_fopen(a.zip, n.constData(), 0);
    if (!file)
        return QByteArray();
    QByteArray out(int(st.size), '\0');
    const zip_int64_t read = zip_fread(file, out.data(), st.size);
    zip_fclose(file);
    if (read != zip_int64_t(st.size))
        return QByteArray();
    if (ok)
        *ok = true;
    return out;
}

QStringList zipEntryNames(const QByteArray &archive)
{
    Archive a(archive);
    QStringList names;
    if (!a.zip)
        return names;
    const zip_int64_t count = zip_get_num_entries(a.zip, 0);
    for (zip_int64_t i = 0; i < count; ++i)
        names << QString::fromUtf8(zip_get_name(a.zip, zip_uint64_t(i), 0));
    return names;
}

QStringList docxParagraphs(const QByteArray &docx)
{
    QXmlStreamReader xml(zipEntry(docx, QStringLiteral("word/document.xml")));
    QStringList paragraphs;
    int tableDepth = 0;
    QString current;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("tbl"))
                ++tableDepth;
            else if (xml.name() == QLatin1String("p"))
                current.clear();
            else if (xml.name() == QLatin1String("t") && tableDepth == 0)
                current += xml.readElementText();
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("tbl"))
                --tableDepth;
            else if (xml.name() == QLatin1String("p") && tableDepth == 0 && !current.isEmpty())
                paragraphs << current;
        }
    }
    if (xml.hasError())
        return QStringList() << QStringLiteral("XML error: ") + xml.errorString();
    return paragraphs;
}

Table docxTable(const QByteArray &docx)
{
    QXmlStreamReader xml(zipEntry(docx, QStringLiteral("word/document.xml")));
    Table table;
    int row = -1;
    int column = 0;
    Cell cell;
    QString vMerge;
    bool inCell = false;
    QStringList paragraphs;
    QString paragraph;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == QLatin1String("tr")) {
                ++row;
                column = 0;
            } else if (name == QLatin1String("tc")) {
                inCell = true;
                cell = Cell();
                cell.row = row;
                cell.column = column;
                vMerge = QStringLiteral("none");
                paragraphs.clear();
            } else if (inCell && name == QLatin1String("gridSpan")) {
                cell.columnSpan = wordAttribute(xml, "val").toInt();
            } else if (inCell && name == QLatin1String("vMerge")) {
                vMerge = wordAttribute(xml, "val");
                if (vMerge.isEmpty())
                    vMerge = QStringLiteral("continue");
            } else if (inCell && name == QLatin1String("p")) {
                paragraph.clear();
            } else if (inCell && name == QLatin1String("t")) {
                paragraph += xml.readElementText();
            }
        } else if (xml.isEndElement()) {
            const auto name = xml.name();
            if (inCell && name == QLatin1String("p")) {
                paragraphs << paragraph;
            } else if (name == QLatin1String("tc")) {
                inCell = false;
                cell.text = paragraphs.join(QLatin1Char('\n')).trimmed();
                if (vMerge == QLatin1String("continue")) {
                    // Extends the cell above that starts in this column.
                    for (Cell &above : table.cells) {
                        if (above.column == column && above.row + above.rowSpan == row) {
                            ++above.rowSpan;
                            break;
                        }
                    }
                } else {
                    table.cells.append(cell);
                }
                column += cell.columnSpan;
                table.columns = qMax(table.columns, column);
            } else if (name == QLatin1String("tbl")) {
                break;
            }
        }
    }
    table.rows = row + 1;
    return table;
}

namespace {

QStringList sharedStrings(const QByteArray &xlsx)
{
    QXmlStreamReader xml(zipEntry(xlsx, QStringLiteral("xl/sharedStrings.xml")));
    QStringList strings;
    QString current;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("si"))
            current.clear();
        else if (xml.isStartElement() && xml.name() == QLatin1String("t"))
            current += xml.readElementText();
        else if (xml.isEndElement() && xml.name() == QLatin1String("si"))
            strings << current;
    }
    return strings;
}

struct Sheet
{
    QMap<QPair<int, int>, QString> values;
    QVector<QPair<QString, QString>> merges;
};

Sheet readSheet(const QByteArray &xlsx)
{
    const QStringList strings = sharedStrings(xlsx);
    QXmlStreamReader xml(zipEntry(xlsx, QStringLiteral("xl/worksheets/sheet1.xml")));
    Sheet sheet;
    QString ref, type;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("c")) {
            ref = xml.attributes().value(QStringLiteral("r")).toString();
            type = xml.attributes().value(QStringLiteral("t")).toString();
        } else if (xml.name() == QLatin1String("v")) {
            const QString v = xml.readElementText();
            int r, c;
            cellRef(ref, &r, &c);
            sheet.values[{ r, c }] = type == QLatin1String("s") ? strings.value(v.toInt()) : v;
        } else if (xml.name() == QLatin1String("mergeCell")) {
            const QStringList parts
                = xml.attributes().value(QStringLiteral("ref")).toString().split(QLatin1Char(':'));
            if (parts.size() == 2)
                sheet.merges.append({ parts[0], parts[1] });
        }
    }
    return sheet;
}

} // namespace

QVector<QStringList> xlsxRows(const QByteArray &xlsx)
{
    const Sheet sheet = readSheet(xlsx);
    QVector<QStringList> rows;
    for (auto it = sheet.values.cbegin(); it != sheet.values.cend(); ++it) {
        const int r = it.key().first;
        const int c = it.key().second;
        while (rows.size() <= r)
            rows.append(QStringList());
        while (rows[r].size() <= c)
            rows[r] << QString();
        rows[r][c] = it.value();
    }
    return rows;
}

Table xlsxTable(const QByteArray &xlsx)
{
    const Sheet sheet = readSheet(xlsx);
    Table table;
    QMap<QPair<int, int>, Cell> cells;
    for (auto it = sheet.values.cbegin(); it != sheet.values.cend(); ++it) {
        Cell cell;
        cell.row = it.key().first;
        cell.column = it.key().second;
        cell.text = it.value().trimmed();
        cells[it.key()] = cell;
        table.rows = qMax(table.rows, cell.row + 1);
        table.columns = qMax(table.columns, cell.column + 1);
    }
    for (const auto &merge : sheet.merges) {
        int r0, c0, r1, c1;
        cellRef(merge.first, &r0, &c0);
        cellRef(merge.second, &r1, &c1);
        Cell &cell = cells[{ r0, c0 }];
        cell.row = r0;
        cell.column = c0;
        cell.rowSpan = r1 - r0 + 1;
        cell.columnSpan = c1 - c0 + 1;
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c)
                if (r != r0 || c != c0)
                    cells.remove({ r, c });
        table.rows = qMax(table.rows, r1 + 1);
        table.columns = qMax(table.columns, c1 + 1);
    }
    for (const Cell &cell : cells)
        table.cells.append(cell); // QMap keeps (row, column) order
    return table;
}

QImage renderText(const QStringList &lines, int pixelSize, int width)
{
    const QFont font = pixelFont(QStringLiteral("DejaVu Sans"), pixelSize);
    const int lineHeight = pixelSize * 3 / 2;
    if (width <= 0) {
        const QFontMetrics metrics(font);
        for (const QString &line : lines)
            width = qMax(width, metrics.horizontalAdvance(line));
        width += 2 * pixelSize * 2;
    }
    QImage image(width, lineHeight * lines.size() + 4 * pixelSize, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(2 * pixelSize, 2 * pixelSize + lineHeight * i + pixelSize, lines[i]);
    painter.end();
    return image;
}

QImage renderTable(const Table &table, int cellWidth, int cellHeight, int pixelSize,
    const QString &family, const QColor &rule, int ruleWidth)
{
    const int margin = 30;
    QImage image(table.columns * cellWidth + 2 * margin, table.rows * cellHeight + 2 * margin,
        QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(pixelFont(family, pixelSize));
    QPen pen(rule);
    pen.setWidth(ruleWidth);
    for (const Cell &cell : table.cells) {
        const QRect box(margin + cell.column * cellWidth, margin + cell.row * cellHeight,
            cell.columnSpan * cellWidth, cell.rowSpan * cellHeight);
        painter.setPen(pen);
        painter.drawRect(box);
        painter.setPen(Qt::black);
        painter.drawText(box.adjusted(10, 0, -10, 0), Qt::AlignVCenter | Qt::AlignLeft, cell.text);
    }
    painter.end();
    return image;
}

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

bool writeTo(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray withPngSize(const QByteArray &png, quint32 width, quint32 height)
{
    QByteArray out = png;
    // IHDR data starts at 16 (8 signature, 4 length, 4 type); CRC covers type + data.
    for (int i = 0; i < 4; ++i) {
        out[16 + i] = char(width >> (24 - 8 * i));
        out[20 + i] = char(height >> (24 - 8 * i));
    }
    quint32 crc = 0xffffffffu;
    for (int i = 12; i < 12 + 4 + 13; ++i) {
        crc ^= uchar(out[i]);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    crc ^= 0xffffffffu;
    for (int i = 0; i < 4; ++i)
        out[29 + i] = char(crc >> (24 - 8 * i));
    return out;
}

QByteArray jpeg(const QImage &image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", quality);
    return bytes;
}

QString describe(const Table &table)
{
    QStringList parts;
    parts << QStringLiteral("%1x%2").arg(table.rows).arg(table.columns);
    for (const Cell &c : table.cells)
        parts << QStringLiteral("(%1,%2 %3x%4 \"%5\")")
                     .arg(c.row)
                     .arg(c.column)
                     .arg(c.rowSpan)
                     .arg(c.columnSpan)
                     .arg(c.text);
    return parts.join(QLatin1Char(' '));
}

} // namespace EngineTestUtils
