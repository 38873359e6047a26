#include "KFileOpenTips.h"

KFileOpenTips::KFileOpenTips(const QString &title, const QString &message, QWidget *parent)
    : KMessageTips(title, message, parent)
{
    setOpenFileButtons();
}
