#include "KModePage.h"

#include <QHBoxLayout>
#include <QStackedLayout>

#include "widgets/KTaskPane.h"

KModePage::KModePage(const QSize &size, QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(size);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_stack = new QStackedLayout();
}

void KModePage::setTaskPane(KTaskPane *pane)
{
    m_pane = pane;
    m_layout->addWidget(pane);
    m_layout->addLayout(m_stack);
}

void KModePage::addToolView(QWidget *view) { m_stack->addWidget(view); }

void KModePage::finishPage(bool connectPane)
{
    m_stack->setCurrentIndex(0);
    if (m_pane && connectPane)
        connect(m_pane, &KTaskPane::switchMode, this, &KModePage::onSwitchMode);
}

int KModePage::currentTool() const { return m_stack->currentIndex(); }

QWidget *KModePage::toolView(int id) const { return m_stack->widget(id); }

void KModePage::onSwitchMode(int id) { m_stack->setCurrentIndex(id); }
