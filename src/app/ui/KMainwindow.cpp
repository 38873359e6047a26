#include "KMainwindow.h"

#include <cstdlib>

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "app/ui/KCommonHeader.h"
#include "app/ui/KMainView.h"
#include "app/ui/KTitleBar.h"
#include "convert/ui/KPicNormalConvertView.h"
#include "pdf/ui/KPdfConvertImageView.h"
#include "widgets/KModePage.h"
#include "widgets/KShadowBorder.h"
#include "widgets/KTableListView.h"
#include "widgets/KTaskPane.h"

namespace {

// Tab and tool ids of the two lists that take files from the command line.
const int convertMode = 1;
const int imageConvertTool = 0;
const int pdfMode = 4;
const int pdfToPicTool = 1;

} // namespace

KMainwindow::KMainwindow(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowOpacity(1.0);
    setWindowIcon(QIcon(QStringLiteral(":/photo.ico")));
    setWindowTitle(tr("quorvel"));
    setFixedSize(1050, 620);

    m_titleBar = new KTitleBar(this);
    setMenuWidget(m_titleBar);
    m_mainView = new KMainView(this);
    setCentralWidget(m_mainView);
    m_shadow = new KShadowBorder(this, this, 10);

    connect(m_titleBar, &KTitleBar::selectFuncMode, m_mainView, &KMainView::onSelectFuncMode);
    connect(m_titleBar, &KTitleBar::minimizeWindow, this, &KMainwindow::onMinimize);
    connect(m_titleBar, &KTitleBar::closeWindow, this, &KMainwindow::onCloseWindow);

    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(placement(screen->availableGeometry()));
}

QPoint KMainwindow::placement(const QRect &available, const QSize &size)
{
    QSize scaled = size;
    if (available.width() < size.width() || available.height() < size.height()) {
        const double f = std::min(
            double(available.width()) / size.width(), double(available.height()) / size.height());
        scaled = QSize(int(size.width() * f), int(size.height() * f));
    }
    const int x = std::abs(available.left() + (available.width() - scaled.width()) / 2);
    const int y = std::abs(available.top() + (available.height() - scaled.height()) / 2) - 10;
    return QPoint(x, y);
}

QStringList KMainwindow::openFiles(const QStringList &paths)
{
    QStringList images;
    QStringList documents;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (!info.isFile() || !KTableListView::isAdmissible(path))
            continue;
        if (info.suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0)
            documents << info.absoluteFilePath();
        else
            images << info.absoluteFilePath();
    }
    auto *convertView = qobject_cast<KPicNormalConvertView *>(
        m_mainView->page(convertMode)->toolView(imageConvertTool));
    auto *pdfView
        = qobject_cast<KPdfConvertImageView *>(m_mainView->page(pdfMode)->toolView(pdfToPicTool));
    // The PDF list leaves out documents whose pages cannot be counted.
    const bool imagesListed = convertView && !images.isEmpty()
        && !convertView->fileList()->appendFiles(images).isEmpty();
    const bool documentsListed
        = pdfView && !documents.isEmpty() && !pdfView->fileList()->appendFiles(documents).isEmpty();
    const auto show = [this](int mode, int tool) {
        m_titleBar->header()->onHeadItemClicked(mode);
        m_mainView->page(mode)->taskPane()->onTriggerSwitchBatchMode(tool);
    };
    if (imagesListed)
        show(convertMode, imageConvertTool);
    else if (documentsListed)
        show(pdfMode, pdfToPicTool);

    QStringList rejected;
    for (const QString &path : paths) {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        if ((!convertView || !convertView->fileList()->files().contains(absolute))
            && (!pdfView || !pdfView->fileList()->files().contains(absolute)))
            rejected << path;
    }
    return rejected;
}

void KMainwindow::onMinimize() { showMinimized(); }

void KMainwindow::onMaximize() { showNormal(); }

void KMainwindow::onCloseWindow() { QCoreApplication::quit(); }

void KMainwindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_pressPos = event->pos();
    }
    QMainWindow::mousePressEvent(event);
}

void KMainwindow::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QMainWindow::mouseReleaseEvent(event);
}

void KMainwindow::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging)
        move(pos() + (event->pos() - m_pressPos));
    QMainWindow::mouseMoveEvent(event);
}

void KMainwindow::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QMainWindow::paintEvent(event);
}
