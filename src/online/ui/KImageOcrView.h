#pragma once

#include "online/ui/KOnlineJobView.h"

class KImageOcrShowCompareView;

// "normal ocr": the text of one image as plain text ("Text") or as a Word
// document ("Word"). Interface thread.
class KImageOcrView : public KOnlineJobView
{
    Q_OBJECT
public:
    enum Mode { TextMode = 0, WordMode = 1 };

    explicit KImageOcrView(QWidget *parent = nullptr);

    QString proposedSavePath() const override;
    KImageOcrShowCompareView *display() const { return m_display; }

protected:
    int serviceTypeFor(int mode) const override;
    void prepareAndStart() override;
    void showSource() override;
    void showResult(const OcrResult &result) override;
    void resetDisplay() override;
    void setDisplayButtonsEnabled(bool enabled) override;
    QString saveExtension() const override;
    QString saveFilter() const override;

private:
    KImageOcrShowCompareView *m_display = nullptr;
};
