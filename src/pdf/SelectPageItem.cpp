#include "SelectPageItem.h"

void registerSelectPageItemMetaType()
{
    static const bool registered = [] {
        qRegisterMetaType<SelectPageItem>("SelectPageItem");
        qRegisterMetaType<SelectPageItem>("SelectPageItem&");
        return true;
    }();
    Q_UNUSED(registered)
}
