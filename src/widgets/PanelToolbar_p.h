#pragma once

#include <QHBoxLayout>
#include <QPushButton>

#include "widgets/StyleSheets.h"

// The "addFile" / "clearFile" row shared by the image panels.
struct PanelToolbar
{
    QHBoxLayout *layout = nullptr;
    QPushButton *add = nullptr;
    QPushButton *clear = nullptr;

    PanelToolbar(QWidget *owner, int spacing, int pixelSize)
    {
        layout = new QHBoxLayout();
        layout->setSpacing(0);
        QFont font(uiFontFamily());
        font.setPixelSize(pixelSize);
        add = new QPushButton(QObject::tr("addFile"), owner);
        clear = new QPushButton(QObject::tr("clearFile"), owner);
        for (QPushButton *b : { add, clear }) {
            b->setFixedSize(68, 24);
            b->setFont(font);
            b->setStyleSheet(smallButtonStyleSheet());
            b->setFocusPolicy(Qt::NoFocus);
        }
        layout->addWidget(add, 0, Qt::AlignLeft | Qt::AlignVCenter);
        layout->addSpacing(spacing);
        layout->addWidget(clear, 0, Qt::AlignRight);
        layout->addStretch();
    }
};
