#include "KDocxWriter.h"

#include <zip.h>

#include <QStringList>
#include <QXmlStreamWriter>

namespace engines {

namespace {

const char *const wordNamespace = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";

// Text width of the page between the margins, in twentieths of a point (A4,
// 2 cm margins).
constexpr int pageTextWidth = 9638;

const char contentTypes[] = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/><Override PartName="/word/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml"/></Types>)";

const char packageRels[] = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>)";

const char documentRels[] = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/></Relationships>)";

const char styles[] = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<w:styles xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii="Calibri" w:hAnsi="Calibri" w:eastAsia="Microsoft YaHei" w:cs="Calibri"/><w:sz w:val="22"/><w:szCs w:val="22"/><w:lang w:val="en-US" w:eastAsia="zh-CN"/></w:rPr></w:rPrDefault><w:pPrDefault><w:pPr><w:spacing w:after="120" w:line="264" w:lineRule="auto"/></w:pPr></w:pPrDefault></w:docDefaults><w:style w:type="paragraph" w:default="1" w:styleId="Normal"><w:name w:val="Normal"/></w:style><w:style w:type="table" w:default="1" w:styleId="TableNormal"><w:name w:val="Normal Table"/><w:tblPr><w:tblInd w:w="0" w:type="dxa"/><w:tblCellMar><w:top w:w="0" w:type="dxa"/><w:left w:w="108" w:type="dxa"/><w:bottom w:w="0" w:type="dxa"/><w:right w:w="108" w:type="dxa"/></w:tblCellMar></w:tblPr></w:style></w:styles>)";

void writeParagraphs(QXmlStreamWriter &xml, const QString &text)
{
    // Each line of the text becomes its own paragraph; an empty text still
    // needs one paragraph (a table cell must hold at least one).
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        xml.writeStartElement(QStringLiteral("w:p"));
        if (!line.isEmpty()) {
            xml.writeStartElement(QStringLiteral("w:r"));
            xml.writeStartElement(QStringLiteral("w:t"));
            xml.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
            xml.writeCharacters(xmlSafe(line));
            xml.writeEndElement();
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
}

void writeBorder(QXmlStreamWriter &xml, const QString &side)
{
    xml.writeEmptyElement(QStringLiteral("w:") + side);
    xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("single"));
    xml.writeAttribute(QStringLiteral("w:sz"), QStringLiteral("4"));
    xml.writeAttribute(QStringLiteral("w:space"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("w:color"), QStringLiteral("000000"));
}

void writeTable(QXmlStreamWriter &xml, const TableGrid &grid)
{
    const int cols = grid.columns();
    const int rows = grid.rows();
    if (cols <= 0 || rows <= 0)
        return;
    const int totalWidth = qMax(1, grid.columnEdges.last() - grid.columnEdges.first());
    QVector<int> widths;
    for (int c = 0; c < cols; ++c)
        widths << qMax(200,
            int(qint64(grid.columnEdges[c + 1] - grid.columnEdges[c]) * pageTextWidth
                / totalWidth));

    xml.writeStartElement(QStringLiteral("w:tbl"));
    xml.writeStartElement(QStringLiteral("w:tblPr"));
    xml.writeEmptyElement(QStringLiteral("w:tblW"));
    xml.writeAttribute(QStringLiteral("w:w"), QString::number(pageTextWidth));
    xml.writeAttribute(QStringLiteral("w:type"), QStringLiteral("dxa"));
    xml.writeStartElement(QStringLiteral("w:tblBorders"));
    for (const char *side : { "top", "left", "bottom", "right", "insideH", "insideV" })
        writeBorder(xml, QString::fromLatin1(side));
    xml.writeEndElement();
    xml.writeEmptyElement(QStringLiteral("w:tblLayout"));
    xml.writeAttribute(QStringLiteral("w:type"), QStringLiteral("fixed"));
    xml.writeEndElement(); // tblPr
    xml.writeStartElement(QStringLiteral("w:tblGrid"));
    for (int w : widths) {
        xml.writeEmptyElement(QStringLiteral("w:gridCol"));
        xml.writeAttribute(QStringLiteral("w:w"), QString::number(w));
    }
    xml.writeEndElement();

    for (int r = 0; r < rows; ++r) {
        xml.writeStartElement(QStringLiteral("w:tr"));
        for (int c = 0; c < cols;) {
            const TableCell *cell = grid.cellAt(r, c);
            if (!cell) { // cannot happen with a detected grid; keep the row whole anyway
                xml.writeStartElement(QStringLiteral("w:tc"));
                writeParagraphs(xml, QString());
                xml.writeEndElement();
                ++c;
                continue;
            }
            int width = 0;
            for (int k = 0; k < cell->columnSpan; ++k)
                width += widths.value(cell->column + k);
            xml.writeStartElement(QStringLiteral("w:tc"));
            xml.writeStartElement(QStringLiteral("w:tcPr"));
            xml.writeEmptyElement(QStringLiteral("w:tcW"));
            xml.writeAttribute(QStringLiteral("w:w"), QString::number(width));
            xml.writeAttribute(QStringLiteral("w:type"), QStringLiteral("dxa"));
            if (cell->columnSpan > 1) {
                xml.writeEmptyElement(QStringLiteral("w:gridSpan"));
                xml.writeAttribute(QStringLiteral("w:val"), QString::number(cell->columnSpan));
            }
            if (cell->rowSpan > 1) {
                xml.writeEmptyElement(QStringLiteral("w:vMerge"));
                if (r == cell->row)
                    xml.writeAttribute(QStringLiteral("w:val"), QStringLiteral("restart"));
            }
            xml.writeEndElement(); // tcPr
            writeParagraphs(xml, r == cell->row ? cell->text : QString());
            xml.writeEndElement(); // tc
            c = cell->column + cell->columnSpan;
        }
        xml.writeEndElement(); // tr
    }
    xml.writeEndElement(); // tbl
}

} // namespace

QString xmlSafe(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const ushort u = ch.unicode();
        if (u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u != 0xFFFE && u != 0xFFFF))
            out += ch;
    }
    return out;
}

void KDocxWriter::addParagraph(const QString &text)
{
    Item item;
    item.text = text;
    m_items.append(item);
}

void KDocxWriter::addTable(const TableGrid &grid)
{
    Item item;
    item.isTable = true;
    item.table = grid;
    m_items.append(item);
}

QByteArray KDocxWriter::documentXml() const
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.writeStartDocument(QStringLiteral("1.0"), true);
    xml.writeNamespace(QString::fromLatin1(wordNamespace), QStringLiteral("w"));
    xml.writeStartElement(QString::fromLatin1(wordNamespace), QStringLiteral("document"));
    xml.writeStartElement(QStringLiteral("w:body"));
    for (const Item &item : m_items) {
        if (item.isTable) {
            writeTable(xml, item.table);
            // Word wants a paragraph between a table and what follows.
            writeParagraphs(xml, QString());
        } else {
            writeParagraphs(xml, item.text);
        }
    }
    if (m_items.isEmpty())
        writeParagraphs(xml, QString());
    xml.writeStartElement(QStringLiteral("w:sectPr"));
    xml.writeEmptyElement(QStringLiteral("w:pgSz"));
    xml.writeAttribute(QStringLiteral("w:w"), QStringLiteral("11906"));
    xml.writeAttribute(QStringLiteral("w:h"), QStringLiteral("16838"));
    xml.writeEmptyElement(QStringLiteral("w:pgMar"));
    for (const char *side : { "w:top", "w:right", "w:bottom", "w:left" })
        xml.writeAttribute(QString::fromLatin1(side), QStringLiteral("1134"));
    xml.writeAttribute(QStringLiteral("w:header"), QStringLiteral("709"));
    xml.writeAttribute(QStringLiteral("w:footer"), QStringLiteral("709"));
    xml.writeAttribute(QStringLiteral("w:gutter"), QStringLiteral("0"));
    xml.writeEndElement(); // sectPr
    xml.writeEndElement(); // body
    xml.writeEndElement(); // document
    xml.writeEndDocument();
    return bytes;
}

QByteArray KDocxWriter::toDocx(QString *error) const
{
    return zipEntries(
        { { QStringLiteral("[Content_Types].xml"), QByteArray(contentTypes) },
            { QStringLiteral("_rels/.rels"), QByteArray(packageRels) },
            { QStringLiteral("word/_rels/document.xml.rels"), QByteArray(documentRels) },
            { QStringLiteral("word/styles.xml"), QByteArray(styles) },
            { QStringLiteral("word/document.xml"), documentXml() } },
        error);
}

QByteArray zipEntries(const QVector<QPair<QString, QByteArray>> &entries, QString *error)
{
    zip_error_t zerr;
    zip_error_init(&zerr);
    zip_source_t *buffer = zip_source_buffer_create(nullptr, 0, 0, &zerr);
    if (!buffer) {
        if (error)
            *error = QString::fromUtf8(zip_error_strerror(&zerr));
        zip_error_fini(&zerr);
        return QByteArray();
    }
    zip_t *archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &zerr);
    if (!archive) {
        if (error)
            *error = QString::fromUtf8(zip_error_strerror(&zerr));
        zip_source_free(buffer);
        zip_error_fini(&zerr);
        return QByteArray();
    }
    zip_error_fini(&zerr);
    // The buffer must outlive zip_close so the written archive can be read back.
    zip_source_keep(buffer);
    const auto fail = [&](const QString &what) {
        if (error)
            *error = what;
        zip_discard(archive);
        zip_source_free(buffer);
        return QByteArray();
    };
    for (const auto &entry : entries) {
        // libzip reads the data at zip_close; entries outlives that call.
        zip_source_t *source = zip_source_buffer(
            archive, entry.second.constData(), zip_uint64_t(entry.second.size()), 0);
        if (!source)
            return fail(QString::fromUtf8(zip_strerror(archive)));
        const QByteArray name = entry.first.toUtf8();
        const zip_int64_t index = zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            return fail(QString::fromUtf8(zip_strerror(archive)));
        }
        zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_DEFLATE, 6);
    }
    if (zip_close(archive) != 0) {
        const QString message = QString::fromUtf8(zip_strerror(archive));
        zip_discard(archive);
        zip_source_free(buffer);
        if (error)
            *error = message;
        return QByteArray();
    }
    QByteArray out;
    zip_stat_t st;
    if (zip_source_stat(buffer, &st) == 0 && zip_source_open(buffer) == 0) {
        out.resize(int(st.size));
        const zip_int64_t read = zip_source_read(buffer, out.data(), st.size);
        zip_source_close(buffer);
        if (read != zip_int64_t(st.size))
            out.clear();
    }
    zip_source_free(buffer);
    if (out.isEmpty() && error)
        *error = QStringLiteral("the archive could not be read back");
    return out;
}

} // namespace engines
