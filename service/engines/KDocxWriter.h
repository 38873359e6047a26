#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include "KTableDetector.h"

namespace engines {

// Builds a WordprocessingML package (.docx) in memory: paragraphs and ruled
// tables with merged cells, in the order they are added. Plain value object;
// use on one thread.
class KDocxWriter
{
public:
    void addParagraph(const QString &text);
    // A table laid out like grid: column widths in proportion to the picture,
    // merged cells as horizontal spans and vertical merges.
    void addTable(const TableGrid &grid);

    // The package bytes; empty with error set when zipping fails.
    QByteArray toDocx(QString *error) const;
    // word/document.xml alone.
    QByteArray documentXml() const;

private:
    struct Item
    {
        bool isTable = false;
        QString text;
        TableGrid table;
    };
    QVector<Item> m_items;
};

// Writes the named entries into a zip archive in memory (deflated), in order.
QByteArray zipEntries(const QVector<QPair<QString, QByteArray>> &entries, QString *error);

// Text with the characters XML 1.0 cannot hold removed.
QString xmlSafe(const QString &text);

} // namespace engines
