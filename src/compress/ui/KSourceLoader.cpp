#include "KSourceLoader.h"

#include <algorithm>

#include <QTimer>

#include "widgets/KImageLoadView.h"

KSourceLoader::KSourceLoader(const QString &dialogTitle, QWidget *dialogParent)
    : QObject(dialogParent)
    , m_title(dialogTitle)
    , m_parent(dialogParent)
{
    m_dialogTimer = new QTimer(this);
    m_dialogTimer->setSingleShot(true);
    m_dialogTimer->setInterval(kDialogDelayMs);
    connect(m_dialogTimer, &QTimer::timeout, this, &KSourceLoader::showDialog);
}

KSourceLoader::~KSourceLoader()
{
    closeDialog();
    // The threads' own destructors wait for decodes still running.
    if (m_current)
        m_current->disconnect(this);
    for (const auto &thread : m_retired)
        thread->disconnect(this);
}

KImageLoadView *KSourceLoader::dialog() const { return m_dialog; }

void KSourceLoader::start(const QString &path, SourceImageLoadThread::Kind kind)
{
    retireCurrent();
    m_current = std::make_unique<SourceImageLoadThread>(path, kind);
    connect(m_current.get(), &SourceImageLoadThread::loaded, this, &KSourceLoader::onLoaded,
        Qt::QueuedConnection);
    m_current->start();
    m_dialogTimer->start();
}

void KSourceLoader::cancel()
{
    retireCurrent();
    closeDialog();
}

void KSourceLoader::retireCurrent()
{
    m_dialogTimer->stop();
    if (!m_current)
        return;
    m_current->disconnect(this);
    SourceImageLoadThread *thread = m_current.get();
    m_retired.push_back(std::move(m_current));
    // Kept until its decode ends; never destroyed while it runs.
    connect(thread, &QThread::finished, this, [this, thread]() {
        const auto it = std::find_if(m_retired.begin(), m_retired.end(),
            [thread](
                const std::unique_ptr<SourceImageLoadThread> &t) { return t.get() == thread; });
        if (it != m_retired.end())
            m_retired.erase(it);
    });
    if (thread->isFinished())
        m_retired.pop_back();
}

void KSourceLoader::closeDialog()
{
    if (m_dialog) {
        m_dialog->disconnect(this);
        m_dialog->close();
    }
    m_dialog = nullptr;
}

void KSourceLoader::showDialog()
{
    if (!m_current || m_dialog)
        return;
    m_dialog = new KImageLoadView(m_title, m_parent);
    m_dialog->setText(tr("Opening the picture, please wait"));
    m_dialog->setValue(0);
    connect(m_dialog, &KImageLoadView::btnClosed, this, [this]() {
        cancel();
        emit cancelled();
    });
    m_dialog->show();
}

void KSourceLoader::onLoaded(
    const QString &path, const QImage &image, int frameCount, const QString &error)
{
    if (!m_current || sender() != m_current.get())
        return;
    m_dialogTimer->stop();
    closeDialog();
    // The thread has reported; it ends on its own and goes with the rest.
    retireCurrent();
    emit loaded(path, image, frameCount, error);
}
