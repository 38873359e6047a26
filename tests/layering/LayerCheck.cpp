#include "LayerCheck.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

namespace {

bool isCodeFile(const QString &name)
{
    return name.endsWith(QLatin1String(".cpp")) || name.endsWith(QLatin1String(".h"))
        || name.endsWith(QLatin1String(".c"));
}

bool mayUseWidgets(const QString &kind)
{
    return kind == QLatin1String("gui") || kind == QLatin1String("tool");
}

} // namespace

bool LayerCheck::loadTable(const QString &tablePath, QString *error)
{
    QFile file(tablePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot read %1").arg(tablePath);
        return false;
    }
    m_rows.clear();
    const QStringList kinds { "headless", "gui", "exe", "outside", "tool" };
    int number = 0;
    QTextStream in(&file);
    while (!in.atEnd()) {
        ++number;
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QRegularExpression(QStringLiteral("\\s+")));
        if (fields.size() < 3 || !kinds.contains(fields.at(2))) {
            *error = QStringLiteral("%1:%2: malformed row").arg(tablePath).arg(number);
            return false;
        }
        Row row;
        row.kind = fields.at(2);
        for (int i = 3; i < fields.size(); ++i)
            row.uses.insert(fields.at(i));
        m_rows.insert(fields.at(0), row);
    }
    return true;
}

void LayerCheck::setWidgetsIncludeDir(const QString &dir)
{
    m_widgetsHeaders.clear();
    const QStringList names = QDir(dir).entryList(QDir::Files);
    for (const QString &name : names)
        m_widgetsHeaders.insert(name);
}

// "src/pdf/ui/KView.cpp" -> "pdf/ui"; "src/codec/metafile/X.cpp" -> "codec";
// "libs/gifconv/GifWriter.cpp" -> "libs/gifconv"; "service/JobRunner.cpp" ->
// "service". Empty when the file lies directly under src/ or libs/.
QString LayerCheck::folderOf(const QString &relativePath) const
{
    const QStringList parts = relativePath.split(QLatin1Char('/'));
    if (parts.size() < 2)
        return QString();
    if (parts.first() == QLatin1String("src")) {
        if (parts.size() < 3)
            return QString();
        if (parts.size() >= 4 && m_rows.contains(parts.at(1) + QStringLiteral("/") + parts.at(2)))
            return parts.at(1) + QStringLiteral("/") + parts.at(2);
        return parts.at(1);
    }
    // libs/<name>/..., service/..., service/engines/...
    if (parts.size() >= 3 && m_rows.contains(parts.at(0) + QStringLiteral("/") + parts.at(1)))
        return parts.at(0) + QStringLiteral("/") + parts.at(1);
    if (parts.first() == QLatin1String("libs"))
        return parts.size() >= 3 ? parts.at(0) + QStringLiteral("/") + parts.at(1) : QString();
    return parts.first();
}

// The folder of ours an include names ("pdf/ui/KSelectPageView.h" -> "pdf/ui"),
// or empty when it names none (a header beside the includer, a library's own).
QString LayerCheck::folderOfInclude(const QString &include) const
{
    const QStringList parts = include.split(QLatin1Char('/'));
    if (parts.size() < 2)
        return QString();
    if (parts.size() >= 3 && m_rows.contains(parts.at(0) + QStringLiteral("/") + parts.at(1)))
        return parts.at(0) + QStringLiteral("/") + parts.at(1);
    if (m_rows.contains(parts.at(0)))
        return parts.at(0);
    return QString();
}

void LayerCheck::checkFile(const QString &root, const QString &relative, const QString &folder,
    QStringList *violations) const
{
    QFile file(root + QLatin1Char('/') + relative);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        violations->append(QStringLiteral("%1: cannot be read").arg(relative));
        return;
    }
    static const QRegularExpression includeLine(
        QStringLiteral("^\\s*#\\s*include\\s*([\"<])([^\">]+)[\">]"));
    const Row row = m_rows.value(folder);
    int number = 0;
    QTextStream in(&file);
    while (!in.atEnd()) {
        ++number;
        const QRegularExpressionMatch match = includeLine.match(in.readLine());
        if (!match.hasMatch())
            continue;
        const QString include = match.captured(2);
        const QString where = QStringLiteral("%1:%2: ").arg(relative).arg(number);
        if (match.captured(1) == QLatin1String("<")) {
            const QString name
                = include.startsWith(QLatin1String("QtWidgets/")) ? include.mid(10) : include;
            if (!mayUseWidgets(row.kind)
                && (include.startsWith(QLatin1String("QtWidgets/"))
                    || (!include.contains(QLatin1Char('/')) && m_widgetsHeaders.contains(name))))
                violations->append(where
                    + QStringLiteral("includes <%1>, a QtWidgets header, in %2 code (%3)")
                          .arg(include, row.kind, folder));
            continue;
        }
        const QString used = folderOfInclude(include);
        if (used.isEmpty() || used == folder)
            continue;
        if (row.kind == QLatin1String("outside")) {
            violations->append(where
                + QStringLiteral("includes \"%1\": %2 stands in for an outside library and "
                                 "may use nothing of ours")
                      .arg(include, folder));
        } else if (!row.uses.contains(used)) {
            QStringList allowed = row.uses.values();
            allowed.sort();
            violations->append(where
                + QStringLiteral("includes \"%1\": %2 may use only %3")
                      .arg(include, folder,
                          allowed.isEmpty() ? QStringLiteral("itself")
                                            : allowed.join(QStringLiteral(", "))));
        }
    }
}

QStringList LayerCheck::check(const QString &root) const
{
    QStringList violations;
    QStringList files;
    for (const QString &top :
        { QStringLiteral("src"), QStringLiteral("libs"), QStringLiteral("service") }) {
        QDirIterator it(root + QLatin1Char('/') + top, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (isCodeFile(path))
                files << QDir(root).relativeFilePath(path);
        }
    }
    files.sort();
    QSet<QString> reported;
    for (const QString &relative : qAsConst(files)) {
        const QString folder = folderOf(relative);
        if (folder.isEmpty()) {
            violations << QStringLiteral("%1: lies outside every folder").arg(relative);
            continue;
        }
        if (!m_rows.contains(folder)) {
            if (!reported.contains(folder))
                violations << QStringLiteral("%1: folder %2 has no row in cmake/layers.txt")
                                  .arg(relative, folder);
            reported.insert(folder);
            continue;
        }
        checkFile(root, relative, folder, &violations);
    }
    return violations;
}
