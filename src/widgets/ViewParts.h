#pragma once

#include <QString>

class QLineEdit;
class QPushButton;
class QWidget;

// Small pieces every tool view builds the same way. Interface thread only.

// The user's desktop folder, where file dialogs open; determined once per run.
QString desktopFolder();

// A main action button of a tool ("start convert", "save result" ...):
// 108 x 40, 16 px, the blue button style.
QPushButton *createActionButton(const QString &text, QWidget *parent);

// One notice that needs no answer (a run that cannot start, files that were
// not added): a KMessageTips with the confirm buttons, opened without a
// nested event loop and deleted when closed.
void showNotice(QWidget *parent, const QString &title, const QString &message);

// The folder box of a tool that writes into a chosen folder: a 300 x 28 line
// edit showing the output folder, with the 16 x 16 "selectFolder" button
// inside its right end.
QLineEdit *makeFolderBox(QWidget *parent, QPushButton **button);

// Shows path in a folder box; the tooltip carries it when the box cannot.
void showFolder(QLineEdit *box, const QString &path);
