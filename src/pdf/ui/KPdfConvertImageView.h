#pragma once

#include <memory>

#include <QStringList>
#include <QWidget>

#include "app/BatchResult.h"
#include "codec/OutputFormat.h"

class KPdf2ImageConverterThread;
class KTableListView;
class QButtonGroup;
class QLineEdit;
class QPushButton;

// "PDF to PIC": the chosen pages of every listed PDF become images of one
// format in a new "Pdf2Image" folder under the folder the user picks. Each
// row carries its page choice (all, odd, even or typed ranges), edited in the
// row's KSelectPageView.
//
// Lives in the interface thread. Each start creates one
// KPdf2ImageConverterThread, owned by this view and replaced by the next
// start (once its run has ended); its records and progress arrive through
// queued signals, and the run ends when every file of the run has its final
// record, succeeded or failed.
class KPdfConvertImageView : public QWidget
{
    Q_OBJECT
public:
    explicit KPdfConvertImageView(QWidget *parent = nullptr);
    ~KPdfConvertImageView() override;

    // Starts a run into a new "Pdf2Image" folder below parentDir with the
    // current format and the rows' page choices. An empty or relative
    // parentDir gives no run folder, and every file then fails. False when
    // nothing was started (no files, or a run still going).
    bool startInto(const QString &parentDir);

    // Shows path in the folder box (what the folder dialog does with the
    // user's answer).
    void setOutputFolder(const QString &path);
    QString outputFolder() const;

    OutputFormat outputFormat() const { return m_format; }
    bool isRunning() const;
    QString lastRunFolder() const { return m_runFolder; }
    QStringList runFiles() const { return m_runFiles; }

    KTableListView *fileList() const { return m_list; }
    QButtonGroup *formatGroup() const { return m_formats; }
    QLineEdit *folderBox() const { return m_folder; }
    QPushButton *folderButton() const { return m_folderButton; }
    QPushButton *startButton() const { return m_start; }

signals:
    // The last file of a run has reported.
    void runFinished();

public slots:
    void onFormatOutputBtn(int id);
    void onOpenFolder();
    void onAddFiles(const QStringList &paths);
    void onClearFile();
    void onStartConvert();
    void onStateChanged(BatchResult result);
    void onRunFinished();
    void onProcessChanged(ProcessProgress progress);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void setControlsEnabled(bool enabled);

    KTableListView *m_list = nullptr;
    QButtonGroup *m_formats = nullptr;
    QLineEdit *m_folder = nullptr;
    QPushButton *m_folderButton = nullptr;
    QPushButton *m_start = nullptr;

    QString m_startFolder; // where the folder dialog opens: the desktop
    OutputFormat m_format = OutputFormat::Jpg;
    QStringList m_runFiles; // files() when the run started, in row order
    QString m_runFolder;
    std::unique_ptr<KPdf2ImageConverterThread> m_converter;
};
