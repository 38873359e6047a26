#include <uemf.h>

#include "codec/metafile/EmfRecords_p.h"

// Text output in 8-bit (Latin-1) and UTF-16 strings, with the optional
// clip/opaque rectangle and per-character advances.

namespace EmfRecords {

namespace {

void extTextOut(const Record &r, MetafileCanvas &canvas)
{
    U_EMREXTTEXTOUTW rec;
    if (!r.read(&rec))
        return;
    const U_EMRTEXT &t = rec.emrtext;
    const qint64 textAt = offsetof(U_EMREXTTEXTOUTW, emrtext);
    const qint64 rectAt = textAt + qint64(sizeof(U_EMRTEXT));
    QRectF clip;
    qint64 dxAt = rectAt;
    if (!(t.fOptions & U_ETO_NO_RECT)) {
        if (!r.has(rectAt, 16))
            return;
        U_RECTL rect;
        memcpy(&rect, r.at(rectAt), sizeof(rect));
        clip = rectOf(rect);
        dxAt = rectAt + 16;
    }
    const bool wide = r.type() == U_EMR_EXTTEXTOUTW;
    const qint64 chars = t.nChars;
    if (!r.has(t.offString, chars * (wide ? 2 : 1)))
        return;
    QString string;
    if (wide) {
        QVector<char16_t> units(static_cast<int>(chars));
        memcpy(units.data(), r.at(t.offString), size_t(chars) * 2);
        string = QString::fromUtf16(units.constData(), int(chars));
    } else {
        string = QString::fromLatin1(reinterpret_cast<const char *>(r.at(t.offString)), int(chars));
    }
    QVector<qreal> dx;
    const qint64 offDx = r.u32(dxAt);
    const qint64 step = (t.fOptions & U_ETO_PDY) ? 8 : 4;
    if (chars > 0 && r.has(dxAt, 4) && offDx > 0 && r.has(offDx, chars * step))
        for (qint64 i = 0; i < chars; ++i)
            dx.append(r.i32(offDx + i * step));
    canvas.text(pointOf(t.ptlReference), string, int(t.fOptions), clip, dx);
}

} // namespace

void addTextRecords(HandlerTable &table)
{
    table.set({ U_EMR_EXTTEXTOUTA, U_EMR_EXTTEXTOUTW }, extTextOut);
}

} // namespace EmfRecords
