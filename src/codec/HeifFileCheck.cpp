#include "HeifFileCheck.h"

#include <cstring>

#include <QHash>
#include <QVector>

#include "codec/ImageLimits.h"

namespace HeifFileCheck {

namespace {

class Reader
{
public:
    Reader(const uchar *data, qint64 size)
        : m_data(data)
        , m_size(size)
    {
    }
    bool ok() const { return m_ok; }
    qint64 pos() const { return m_pos; }
    // Big-endian unsigned value of bytes 0, 2, 4 or 8 wide.
    quint64 read(int bytes)
    {
        if (bytes < 0 || m_pos + bytes > m_size) {
            m_ok = false;
            return 0;
        }
        quint64 v = 0;
        for (int i = 0; i < bytes; ++i)
            v = (v << 8) | m_data[m_pos + i];
        m_pos += bytes;
        return v;
    }

private:
    const uchar *m_data;
    qint64 m_size;
    qint64 m_pos = 0;
    bool m_ok = true;
};

struct Box
{
    qint64 start = 0; // of the header
    qint64 body = 0; // of the contents
    qint64 end = 0;
    char type[4] = { 0, 0, 0, 0 };
};

// The box at pos inside [pos, limit); false when it does not fit.
bool boxAt(const uchar *data, qint64 pos, qint64 limit, Box *box)
{
    if (pos + 8 > limit)
        return false;
    quint64 size = (quint64(data[pos]) << 24) | (quint64(data[pos + 1]) << 16)
        | (quint64(data[pos + 2]) << 8) | data[pos + 3];
    qint64 header = 8;
    if (size == 1) {
        if (pos + 16 > limit)
            return false;
        size = 0;
        for (int i = 0; i < 8; ++i)
            size = (size << 8) | data[pos + 8 + i];
        header = 16;
    } else if (size == 0) {
        size = quint64(limit - pos);
    }
    if (size < quint64(header) || size > quint64(limit - pos))
        return false;
    box->start = pos;
    box->body = pos + header;
    box->end = pos + qint64(size);
    memcpy(box->type, data + pos + 4, 4);
    return true;
}

struct Extent
{
    int method = 0; // 0: in the file, 1: in idat
    quint64 offset = 0;
    quint64 length = 0;
};

// Reads iloc; false when an extent lies outside its store.
bool readIloc(const uchar *data, const Box &iloc, qint64 fileSize, qint64 idatSize,
    QHash<quint32, QVector<Extent>> *items)
{
    Reader r(data + iloc.body, iloc.end - iloc.body);
    const int version = int(r.read(1));
    r.read(3); // flags
    const quint64 sizes = r.read(1);
    const int offsetSize = int(sizes >> 4), lengthSize = int(sizes & 0x0F);
    const quint64 more = r.read(1);
    const int baseOffsetSize = int(more >> 4);
    const int indexSize = version >= 1 ? int(more & 0x0F) : 0;
    auto valid = [](int s) { return s == 0 || s == 4 || s == 8; };
    if (!r.ok() || version > 2 || !valid(offsetSize) || !valid(lengthSize) || !valid(baseOffsetSize)
        || !valid(indexSize))
        return false;
    const quint64 count = r.read(version < 2 ? 2 : 4);
    quint64 total = 0;
    for (quint64 i = 0; i < count && r.ok(); ++i) {
        const quint32 id = quint32(r.read(version < 2 ? 2 : 4));
        const int method = version >= 1 ? int(r.read(2) & 0x0F) : 0;
        r.read(2); // data reference index
        const quint64 base = r.read(baseOffsetSize);
        const quint64 extents = r.read(2);
        for (quint64 e = 0; e < extents && r.ok(); ++e) {
            r.read(indexSize);
            const quint64 offset = base + r.read(offsetSize);
            quint64 length = r.read(lengthSize);
            if (method == 2)
                continue; // item references, no data of their own
            const quint64 limit = method == 1 ? quint64(idatSize) : quint64(fileSize);
            if (length == 0) // "to the end"
                length = offset <= limit ? limit - offset : 1;
            if (offset > limit || length > limit - offset)
                return false;
            total += length;
            // Items sharing data are fine; a file whose items add up to
            // many times its own size is not a picture.
            if (total > quint64(fileSize) * 16 + (quint64(64) << 20))
                return false;
            (*items)[id].append(Extent { method, offset, length });
        }
    }
    return r.ok();
}

// Item types from iinf (infe version 2 and 3).
QHash<quint32, QByteArray> readItemTypes(const uchar *data, const Box &iinf)
{
    QHash<quint32, QByteArray> types;
    Reader r(data + iinf.body, iinf.end - iinf.body);
    const int version = int(r.read(1));
    r.read(3);
    r.read(version == 0 ? 2 : 4); // entry count
    const qint64 first = iinf.body + r.pos();
    Box infe;
    for (qint64 pos = first; pos < iinf.end && boxAt(data, pos, iinf.end, &infe); pos = infe.end) {
        if (memcmp(infe.type, "infe", 4) != 0)
            continue;
        Reader e(data + infe.body, infe.end - infe.body);
        const int infeVersion = int(e.read(1));
        e.read(3);
        if (infeVersion < 2)
            continue;
        const quint32 id = quint32(e.read(infeVersion == 2 ? 2 : 4));
        e.read(2); // protection index
        const quint64 type = e.read(4);
        if (e.ok()) {
            char name[4] = { char(type >> 24), char(type >> 16), char(type >> 8), char(type) };
            types.insert(id, QByteArray(name, 4));
        }
    }
    return types;
}

// Reads the bits of an HEVC parameter set (emulation prevention removed).
class BitReader
{
public:
    explicit BitReader(const QByteArray &rbsp)
        : m_data(rbsp)
    {
    }
    bool ok() const { return m_ok; }
    quint32 bits(int count)
    {
        quint32 v = 0;
        for (int i = 0; i < count; ++i) {
            if (m_bit >= qint64(m_data.size()) * 8) {
                m_ok = false;
                return 0;
            }
            const int byte = uchar(m_data[int(m_bit / 8)]);
            v = (v << 1) | ((byte >> (7 - m_bit % 8)) & 1);
            ++m_bit;
        }
        return v;
    }
    quint64 ue()
    {
        int zeros = 0;
        while (bits(1) == 0 && m_ok)
            if (++zeros > 32) {
                m_ok = false;
                return 0;
            }
        return (quint64(1) << zeros) - 1 + bits(zeros);
    }

private:
    QByteArray m_data;
    qint64 m_bit = 0;
    bool m_ok = true;
};

// The picture size an HEVC sequence parameter set declares (NAL unit with
// its 2-byte header); the decoder allocates its frame from it, whatever
// the container says.
bool spsSizeAllowed(const uchar *nal, qint64 length)
{
    QByteArray rbsp;
    int zeros = 0;
    for (qint64 i = 2; i < length; ++i) {
        if (zeros >= 2 && nal[i] == 3) {
            zeros = 0;
            continue;
        }
        zeros = nal[i] == 0 ? zeros + 1 : 0;
        rbsp.append(char(nal[i]));
    }
    BitReader r(rbsp);
    r.bits(4); // video parameter set id
    const int subLayers = int(r.bits(3));
    r.bits(1);
    r.bits(96); // general profile, tier and level
    QVector<bool> profilePresent(subLayers), levelPresent(subLayers);
    for (int i = 0; i < subLayers; ++i) {
        profilePresent[i] = r.bits(1);
        levelPresent[i] = r.bits(1);
    }
    if (subLayers > 0)
        for (int i = subLayers; i < 8; ++i)
            r.bits(2);
    for (int i = 0; i < subLayers; ++i) {
        if (profilePresent[i])
            r.bits(88);
        if (levelPresent[i])
            r.bits(8);
    }
    r.ue(); // parameter set id
    if (r.ue() == 3)
        r.bits(1);
    const quint64 width = r.ue();
    const quint64 height = r.ue();
    return r.ok()
        && ImageLimits::sizeAllowed(
            qint64(qMin<quint64>(width, 1u << 30)), qint64(qMin<quint64>(height, 1u << 30)));
}

bool isSps(const uchar *nal, qint64 length) { return length >= 2 && ((nal[0] >> 1) & 0x3F) == 33; }

// HEVC item data is a chain of 4-byte big-endian NAL lengths and NAL
// units; the decoder plug-in trusts each length.
bool nalChainFits(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qint64 size = bytes.size();
    qint64 pos = 0;
    while (pos + 4 <= size) {
        const qint64 length
            = (qint64(p[pos]) << 24) | (p[pos + 1] << 16) | (p[pos + 2] << 8) | p[pos + 3];
        pos += 4;
        if (length > size - pos)
            return false;
        if (isSps(p + pos, length) && !spsSizeAllowed(p + pos, length))
            return false;
        pos += length;
    }
    return true;
}

// Grid and overlay images carry their own output size, which libheif
// allocates regardless of the size property (ispe) the caller can see.
bool derivedSizeAllowed(const QByteArray &type, const QByteArray &itemData)
{
    Reader r(reinterpret_cast<const uchar *>(itemData.constData()), itemData.size());
    r.read(1); // version
    const int fieldBytes = (r.read(1) & 1) ? 4 : 2;
    if (type == "grid") {
        r.read(2); // rows and columns - 1
    } else {
        // One fill value of 4 x 16 bits comes before the size.
        r.read(8);
    }
    const quint64 width = r.read(fieldBytes);
    const quint64 height = r.read(fieldBytes);
    return r.ok() && ImageLimits::sizeAllowed(qint64(width), qint64(height));
}

// hvcC: 22 bytes of configuration, then arrays of length-prefixed NAL units.
bool hvccFits(const uchar *data, const Box &hvcc)
{
    Reader r(data + hvcc.body, hvcc.end - hvcc.body);
    r.read(22);
    const quint64 arrays = r.read(1);
    for (quint64 a = 0; a < arrays && r.ok(); ++a) {
        r.read(1);
        const quint64 units = r.read(2);
        for (quint64 u = 0; u < units && r.ok(); ++u) {
            const qint64 length = qint64(r.read(2));
            const qint64 at = hvcc.body + r.pos();
            if (!r.ok() || length > hvcc.end - at)
                return false;
            if (isSps(data + at, length) && !spsSizeAllowed(data + at, length))
                return false;
            r.read(0);
            for (qint64 i = 0; i < length; ++i)
                r.read(1);
        }
    }
    return r.ok();
}

} // namespace

bool isSound(const QByteArray &file)
{
    const auto *data = reinterpret_cast<const uchar *>(file.constData());
    const qint64 size = file.size();
    Box box;
    Box meta;
    bool haveMeta = false;
    for (qint64 pos = 0; pos < size; pos = box.end) {
        if (!boxAt(data, pos, size, &box))
            return false;
        if (memcmp(box.type, "meta", 4) == 0 && !haveMeta) {
            meta = box;
            haveMeta = true;
        }
    }
    if (!haveMeta)
        return false;
    // meta is a full box: version and flags come first.
    Box child;
    Box iloc, iinf, idat, iprp;
    bool haveIloc = false, haveIinf = false, haveIdat = false, haveIprp = false;
    // libheif reads the first of each; a later one must not be what is
    // checked in its place (a second idat made a grid's size look small).
    for (qint64 pos = meta.body + 4; pos < meta.end; pos = child.end) {
        if (!boxAt(data, pos, meta.end, &child))
            return false;
        if (memcmp(child.type, "iloc", 4) == 0 && !haveIloc) {
            iloc = child;
            haveIloc = true;
        } else if (memcmp(child.type, "iinf", 4) == 0 && !haveIinf) {
            iinf = child;
            haveIinf = true;
        } else if (memcmp(child.type, "idat", 4) == 0 && !haveIdat) {
            idat = child;
            haveIdat = true;
        } else if (memcmp(child.type, "iprp", 4) == 0 && !haveIprp) {
            iprp = child;
            haveIprp = true;
        }
    }
    // Parameter sets in the item properties (iprp / ipco / hvcC).
    if (haveIprp) {
        Box ipco;
        for (qint64 pos = iprp.body; pos < iprp.end && boxAt(data, pos, iprp.end, &ipco);
             pos = ipco.end) {
            if (memcmp(ipco.type, "ipco", 4) != 0)
                continue;
            Box property;
            for (qint64 at = ipco.body; at < ipco.end; at = property.end) {
                if (!boxAt(data, at, ipco.end, &property))
                    return false;
                if (memcmp(property.type, "hvcC", 4) == 0 && !hvccFits(data, property))
                    return false;
                // AV1 and other codecs are not among the pictures this
                // program reads from HEIF files.
                if (memcmp(property.type, "av1C", 4) == 0)
                    return false;
            }
        }
    }
    if (!haveIloc)
        return true;
    const qint64 idatSize = haveIdat ? idat.end - idat.body : 0;
    QHash<quint32, QVector<Extent>> items;
    if (!readIloc(data, iloc, size, idatSize, &items))
        return false;
    if (!haveIinf)
        return true;
    const QHash<quint32, QByteArray> types = readItemTypes(data, iinf);
    for (auto it = items.constBegin(); it != items.constEnd(); ++it) {
        const QByteArray type = types.value(it.key());
        if (type != "hvc1" && type != "grid" && type != "iovl")
            continue;
        QByteArray itemData;
        for (const Extent &extent : it.value()) {
            const qint64 at = (extent.method == 1 ? idat.body : 0) + qint64(extent.offset);
            itemData.append(file.constData() + at, int(extent.length));
        }
        if (type == "hvc1" ? !nalChainFits(itemData) : !derivedSizeAllowed(type, itemData))
            return false;
    }
    return true;
}

} // namespace HeifFileCheck
