#pragma once

#include "widgets/KBaseDialog.h"

class QLabel;

// The About dialog: product name, version and web site. Deletes itself on close.
class KAboutView : public KBaseDialog
{
    Q_OBJECT
public:
    explicit KAboutView(QWidget *parent = nullptr);

    static QString websiteUrl();
    QLabel *linkLabel() const { return m_link; }

public slots:
    void openUrl(const QString &url);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_link = nullptr;
};
