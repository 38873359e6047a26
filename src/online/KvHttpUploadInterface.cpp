#include "KvHttpUploadInterface.h"

KvHttpUploadInterface::KvHttpUploadInterface(KvHttp *owner, const QString &baseUrl)
    : m_baseUrl(baseUrl)
    , m_owner(owner)
{
}
