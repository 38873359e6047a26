#pragma once

#include "pdf/SelectPageItem.h"
#include "widgets/KBaseDialog.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;

// The page choice of one PDF row: all, odd, even or typed page ranges.
// Created by its row on first use and kept for the row's lifetime; lives in
// the interface thread. "Ok" checks the ranges against the document's page
// count and emits the accepted choice; a rejected text keeps the dialog open
// with a message. Cancel and close only hide it, so the controls keep what
// the user left in them for the next opening.
class KSelectPageView : public KBaseDialog
{
    Q_OBJECT
public:
    KSelectPageView(const QString &title, QWidget *parent, int pageCount);

    SelectPageItem item() const { return m_item; }
    int pageCount() const { return m_pageCount; }
    QString title() const;
    QString errorText() const;

    // The parts the tests drive.
    QButtonGroup *modeGroup() const { return m_modes; }
    QLineEdit *rangeBox() const { return m_rangeBox; }
    QLabel *rangeLabel() const { return m_rangeLabel; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *cancelButton() const { return m_cancel; }
    QPushButton *closeButton() const { return m_close; }

signals:
    void selectPageChanged(SelectPageItem item);

public slots:
    void onSelectInputPageChanged(const QString &text);
    void onModeChanged(int id);
    void onBtnOk();
    void onBtnCancel();
    void onClose();

private:
    SelectPageItem m_item;
    int m_pageCount = 0;
    QLabel *m_title = nullptr;
    QPushButton *m_close = nullptr;
    QButtonGroup *m_modes = nullptr;
    QLabel *m_rangeLabel = nullptr;
    QLineEdit *m_rangeBox = nullptr;
    QLabel *m_hint = nullptr;
    QLabel *m_error = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};
