#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// Reads the folder table (cmake/layers.txt) and checks every #include of the
// source tree against it: a folder may include its own headers and those of
// the folders its row names; only gui and tool folders may include QtWidgets
// headers; outside libraries include nothing of ours; a
// source folder without a row is itself a violation.
class LayerCheck
{
public:
    struct Row
    {
        QString kind;
        QSet<QString> uses;
    };

    // Empty text and false when the table cannot be read or is malformed.
    bool loadTable(const QString &tablePath, QString *error);
    // Header names of the QtWidgets module (the files of its include folder).
    void setWidgetsIncludeDir(const QString &dir);

    // One line per violation: "path:line: what is wrong". Paths relative to root.
    QStringList check(const QString &root) const;

private:
    QString folderOf(const QString &relativePath) const;
    QString folderOfInclude(const QString &include) const;
    void checkFile(const QString &root, const QString &relative, const QString &folder,
        QStringList *violations) const;

    QHash<QString, Row> m_rows;
    QSet<QString> m_widgetsHeaders;
};
