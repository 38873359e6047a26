#pragma once

#include "widgets/KMessageTips.h"

// Shown after a result was saved: "open file" (1) or "open folder" (2).
class KFileOpenTips : public KMessageTips
{
    Q_OBJECT
public:
    KFileOpenTips(const QString &title, const QString &message, QWidget *parent = nullptr);
};
