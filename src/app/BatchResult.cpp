#include "BatchResult.h"

void registerWorkerMetaTypes()
{
    static const bool registered = [] {
        qRegisterMetaType<BatchResult>("BatchResult");
        qRegisterMetaType<ProcessProgress>("ProcessProgress");
        return true;
    }();
    Q_UNUSED(registered)
}
