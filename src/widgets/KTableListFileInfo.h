#pragma once

#include <QLabel>

// Path (elided in the middle) and size text of one file-list row.
class KTableListFileInfo : public QLabel
{
    Q_OBJECT
public:
    KTableListFileInfo(QWidget *parent, const QString &path);

    // "1000B", "2KB", "1.5MB", "15MB", "1.5e+02MB".
    static QString sizeText(qint64 bytes);

    QString pathText() const;
    QString sizeLabelText() const;
    // A failed file's reason beside its size, elided to the room left (the
    // full text is the row's tooltip); empty hides it.
    void setNote(const QString &note);
    QString noteText() const;

private:
    QLabel *m_path = nullptr;
    QLabel *m_size = nullptr;
    QLabel *m_note = nullptr;
};
