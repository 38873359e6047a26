#include "KImageDecoderBase.h"

#include "codec/ImageFormats.h"
#include "codec/KImageWrapper.h"

KImageDecoderBase::KImageDecoderBase(KImageWrapper *wrapper)
    : m_wrapper(wrapper)
{
}

KImageDecoderBase::~KImageDecoderBase() = default;

bool KImageDecoderBase::decodeData(const QByteArray &data)
{
    Q_UNUSED(data)
    return false;
}

int KImageDecoderBase::frameCount() const { return 0; }

const ImageFormatRecord *KImageDecoderBase::format() const
{
    if (m_wrapper && m_wrapper->format())
        return m_wrapper->format();
    return ImageFormats::global().unknownRecord();
}
