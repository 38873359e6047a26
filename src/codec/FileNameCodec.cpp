#include "FileNameCodec.h"

#include <mutex>

#include <QTextCodec>

namespace {

constexpr ushort kEscapeBase = 0xDC00; // byte b (>= 0x80) <-> U+DC00 + b

// UTF-8 whose invalid bytes round-trip as lone surrogates.
class EscapingUtf8Codec : public QTextCodec
{
public:
    // Not "UTF-8": whoever asks for that codec by name gets the toolkit's own.
    QByteArray name() const override { return "x-utf-8-keeping-bytes"; }
    int mibEnum() const override { return -3001; }

protected:
    QString convertToUnicode(const char *in, int length, ConverterState *state) const override
    {
        // Every call is taken as complete: a sequence cut at the end keeps
        // its bytes as they are. (The toolkit asks with a converter state
        // whether a directory entry's name decodes, and leaves out entries
        // whose state shows bytes left over.)
        Q_UNUSED(state)
        const QByteArray bytes = QByteArray::fromRawData(in, length);
        QString out;
        out.reserve(bytes.size());
        const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
        const int n = bytes.size();
        int i = 0;
        while (i < n) {
            const uchar c = p[i];
            if (c < 0x80) {
                out.append(QChar(c));
                ++i;
                continue;
            }
            int need = 0;
            uint cp = 0;
            uint min = 0;
            if (c >= 0xC2 && c <= 0xDF) {
                need = 1;
                cp = c & 0x1F;
                min = 0x80;
            } else if (c >= 0xE0 && c <= 0xEF) {
                need = 2;
                cp = c & 0x0F;
                min = 0x800;
            } else if (c >= 0xF0 && c <= 0xF4) {
                need = 3;
                cp = c & 0x07;
                min = 0x10000;
            }
            if (need == 0) {
                out.append(QChar(ushort(kEscapeBase + c)));
                ++i;
                continue;
            }
            bool valid = i + need < n;
            for (int k = 1; valid && k <= need; ++k) {
                valid = (p[i + k] & 0xC0) == 0x80;
                cp = (cp << 6) | (p[i + k] & 0x3F);
            }
            if (valid && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
                valid = false;
            if (!valid) {
                out.append(QChar(ushort(kEscapeBase + c)));
                ++i;
                continue;
            }
            if (cp >= 0x10000) {
                out.append(QChar(QChar::highSurrogate(cp)));
                out.append(QChar(QChar::lowSurrogate(cp)));
            } else {
                out.append(QChar(ushort(cp)));
            }
            i += need + 1;
        }
        return out;
    }

    QByteArray convertFromUnicode(const QChar *in, int length, ConverterState *state) const override
    {
        QByteArray out;
        out.reserve(length * 3);
        int i = 0;
        // A high surrogate left over from the previous chunk.
        ushort pendingHigh = 0;
        if (state && state->remainingChars > 0) {
            pendingHigh = ushort(state->state_data[0]);
            state->remainingChars = 0;
        }
        auto put = [&out](uint cp) {
            if (cp < 0x80) {
                out.append(char(cp));
            } else if (cp < 0x800) {
                out.append(char(0xC0 | (cp >> 6)));
                out.append(char(0x80 | (cp & 0x3F)));
            } else if (cp < 0x10000) {
                out.append(char(0xE0 | (cp >> 12)));
                out.append(char(0x80 | ((cp >> 6) & 0x3F)));
                out.append(char(0x80 | (cp & 0x3F)));
            } else {
                out.append(char(0xF0 | (cp >> 18)));
                out.append(char(0x80 | ((cp >> 12) & 0x3F)));
                out.append(char(0x80 | ((cp >> 6) & 0x3F)));
                out.append(char(0x80 | (cp & 0x3F)));
            }
        };
        for (; i < length || pendingHigh; ++i) {
            ushort u;
            if (pendingHigh) {
                u = pendingHigh;
                pendingHigh = 0;
                --i;
            } else {
                u = in[i].unicode();
            }
            if (QChar::isHighSurrogate(u)) {
                if (i + 1 < length && QChar::isLowSurrogate(in[i + 1].unicode())) {
                    put(QChar::surrogateToUcs4(u, in[i + 1].unicode()));
                    ++i;
                } else if (i + 1 >= length && state) {
                    state->remainingChars = 1;
                    state->state_data[0] = u;
                } else {
                    put(0xFFFD);
                }
            } else if (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF) {
                out.append(char(u - kEscapeBase));
            } else if (QChar::isLowSurrogate(u)) {
                put(0xFFFD);
            } else {
                put(u);
            }
        }
        return out;
    }
};

} // namespace

namespace FileNameCodec {

void install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Owned by the toolkit's codec registry from here on.
        QTextCodec::setCodecForLocale(new EscapingUtf8Codec);
    });
}

QString forDisplay(const QString &name)
{
    QString shown = name;
    for (QChar &c : shown) {
        if (c.unicode() >= kEscapeBase + 0x80 && c.unicode() <= kEscapeBase + 0xFF)
            c = QChar(QChar::ReplacementCharacter);
    }
    return shown;
}

} // namespace FileNameCodec
