#pragma once

#include "online/ui/KOnlineJobView.h"

class KImageOcrShowCompareView;
class PSettings;

// "table ocr": the table in one image as a Word or an Excel document, shown
// by the service's preview picture. Interface thread.
class KImageTableOcrView : public KOnlineJobView
{
    Q_OBJECT
public:
    enum Mode { WordMode = 0, ExcelMode = 1 };

    explicit KImageTableOcrView(QWidget *parent = nullptr);

    QString proposedSavePath() const override;
    KImageOcrShowCompareView *display() const { return m_display; }

public slots:
    void onAddFiles(const QStringList &files);

protected:
    int serviceTypeFor(int mode) const override;
    void prepareAndStart() override;
    void showSource() override;
    void showResult(const OcrResult &result) override;
    void resetDisplay() override;
    void setDisplayButtonsEnabled(bool enabled) override;
    QString saveExtension() const override;
    QString saveFilter() const override;
    void afterLoad() override;
    void afterTimeout() override;

private:
    KImageOcrShowCompareView *m_display = nullptr;
    PSettings *m_settings = nullptr;
};
