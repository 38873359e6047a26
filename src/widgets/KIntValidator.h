#pragma once

#include <QIntValidator>

// Integer validator that also accepts the keyword "Proportional modification"
// (the resize panel shows it when the other side follows the ratio).
class KIntValidator : public QIntValidator
{
    Q_OBJECT
public:
    KIntValidator(int bottom, int top, QObject *parent = nullptr);

    static QString keyword();

    State validate(QString &text, int &pos) const override;
    void fixup(QString &text) const override;
};
