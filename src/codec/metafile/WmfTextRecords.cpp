#include <uwmf.h>

#include <QTextCodec>

#include "codec/metafile/WmfRecords_p.h"

// Text output: 8-bit strings in the code page of the selected font's
// character set, with the optional clip/opaque rectangle and advances.

namespace WmfRecords {

namespace {

void textOut(const Params &p, MetafileCanvas &canvas)
{
    const qint64 chars = p.u(0);
    const qint64 stringWords = (chars + 1) / 2;
    if (!p.has(1, stringWords + 2))
        return;
    const QString string = decodeText(p.bytes(1), chars, canvas.currentFont().charset);
    canvas.text(p.reversedPoint(1 + stringWords), string, 0, QRectF(), QVector<qreal>());
}

void extTextOut(const Params &p, MetafileCanvas &canvas)
{
    if (!p.has(0, 4))
        return;
    const QPointF origin = p.reversedPoint(0);
    const qint64 chars = p.u(2);
    const int options = p.u(3);
    qint64 next = 4;
    QRectF rect;
    if (options & (U_ETO_OPAQUE | U_ETO_CLIPPED)) {
        if (!p.has(next, 4))
            return;
        rect = QRectF(QPointF(p.s(next), p.s(next + 1)), QPointF(p.s(next + 2), p.s(next + 3)));
        next += 4;
    }
    const qint64 stringWords = (chars + 1) / 2;
    if (!p.has(next, stringWords))
        return;
    const QString string = decodeText(p.bytes(next), chars, canvas.currentFont().charset);
    next += stringWords;
    QVector<qreal> dx;
    if (chars > 0 && p.has(next, chars))
        for (qint64 i = 0; i < chars; ++i)
            dx.append(p.s(next + i));
    canvas.text(origin, string, options, rect, dx);
}

} // namespace

QString decodeText(const uchar *bytes, qint64 length, int charset)
{
    const char *codecName = nullptr;
    switch (charset) {
    case 128:
        codecName = "Shift-JIS";
        break;
    case 129:
        codecName = "CP949";
        break;
    case 134:
        codecName = "GBK";
        break;
    case 136:
        codecName = "Big5";
        break;
    case 161:
        codecName = "windows-1253";
        break;
    case 162:
        codecName = "windows-1254";
        break;
    case 177:
        codecName = "windows-1255";
        break;
    case 178:
        codecName = "windows-1256";
        break;
    case 186:
        codecName = "windows-1257";
        break;
    case 204:
        codecName = "windows-1251";
        break;
    case 238:
        codecName = "windows-1250";
        break;
    default:
        codecName = "windows-1252";
        break;
    }
    const QByteArray raw(reinterpret_cast<const char *>(bytes), int(length));
    if (QTextCodec *codec = QTextCodec::codecForName(codecName))
        return codec->toUnicode(raw);
    return QString::fromLatin1(raw);
}

void addTextRecords(HandlerTable &table)
{
    table.set({ U_WMR_TEXTOUT }, textOut);
    table.set({ U_WMR_EXTTEXTOUT }, extTextOut);
}

} // namespace WmfRecords
