#include "KIntValidator.h"

KIntValidator::KIntValidator(int bottom, int top, QObject *parent)
    : QIntValidator(bottom, top, parent)
{
}

QString KIntValidator::keyword() { return tr("Proportional modification"); }

QValidator::State KIntValidator::validate(QString &text, int &pos) const
{
    if (text == keyword())
        return Acceptable;
    text = QString::number(text.toInt());
    pos = qMin(pos, text.size());
    return QIntValidator::validate(text, pos);
}

void KIntValidator::fixup(QString &text) const { text = QString::number(bottom()); }
