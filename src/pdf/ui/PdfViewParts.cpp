#include <QDir>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>

#include "PdfViewParts_p.h"
#include "widgets/StyleSheets.h"

namespace PdfViewParts {

namespace {
} // namespace

QFont viewFont(int pixelSize)
{
    QFont font(uiFontFamily());
    font.setPixelSize(pixelSize);
    return font;
}

void fitSize(QWidget *widget, int width, int height)
{
    widget->ensurePolished();
    widget->setFixedSize(qMax(width, widget->sizeHint().width()), height);
}

bool isUsableParent(const QString &dir) { return !dir.isEmpty() && QDir::isAbsolutePath(dir); }

int currentRow(const QStringList &listed, const QStringList &runFiles, int runIndex)
{
    if (runIndex < 0 || runIndex >= runFiles.size())
        return -1;
    const QString &file = runFiles.at(runIndex);
    if (runIndex < listed.size() && listed.at(runIndex) == file)
        return runIndex; // the usual case: nothing moved
    return listed.indexOf(file);
}

} // namespace PdfViewParts
