#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

class QLineEdit;
class QPushButton;
class QWidget;

// Pieces the two PDF tool views share. Interface thread only.
namespace PdfViewParts {

QFont viewFont(int pixelSize);

// Fixed height, and the given width unless the text needs more (translations
// and font substitutes run wider than the design's sizes).
void fitSize(QWidget *widget, int width, int height);

// Run folders are only made below an absolute folder: an empty or relative
// text would otherwise put them at the file system root or wherever the
// program was started.
bool isUsableParent(const QString &dir);

// The row that shows run file runIndex now (rows can be deleted or added
// while a run goes on), or -1 when it is no longer listed.
int currentRow(const QStringList &listed, const QStringList &runFiles, int runIndex);

} // namespace PdfViewParts
