#include "SvgDocumentCheck.h"

#include <QBuffer>
#include <QHash>
#include <QImageReader>
#include <QRegularExpression>
#include <QStringList>
#include <QVector>
#include <QXmlStreamReader>

#include "codec/ImageLimits.h"
#include "codec/ZlibStream.h"

namespace SvgDocumentCheck {

namespace {

struct Element
{
    int firstChild = -1;
    int nextSibling = -1;
    int lastChild = -1;
    qint64 segments = 0;
    QString useTarget;
};

// Segments of a path's d or a polyline's points: every number is half a
// coordinate pair, near enough (arcs and curves count more numbers per
// segment, and cost more to flatten).
qint64 segmentCount(const QStringRef &data)
{
    qint64 numbers = 0;
    bool inNumber = false;
    for (const QChar c : data) {
        const bool part = c.isDigit() || c == QLatin1Char('.');
        if (part && !inNumber)
            ++numbers;
        inNumber = part;
    }
    return (numbers + 1) / 2;
}

// Embedded pictures are decoded by the renderer without any size check.
bool embeddedPictureAllowed(const QStringRef &href)
{
    const int comma = href.indexOf(QLatin1Char(','));
    if (comma < 0)
        return false;
    const QStringRef header = href.left(comma);
    if (!header.endsWith(QLatin1String(";base64"), Qt::CaseInsensitive))
        return true; // not a picture format the renderer decodes
    const QByteArray bytes = QByteArray::fromBase64(href.mid(comma + 1).toLatin1());
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (!reader.canRead())
        return true; // the renderer cannot decode it either
    const QSize size = reader.size();
    return ImageLimits::sizeAllowed(size.width(), size.height());
}

class Expansion
{
public:
    explicit Expansion(const QVector<Element> &elements, const QHash<QString, int> &ids)
        : m_elements(elements)
        , m_ids(ids)
        , m_count(elements.size(), -1)
        , m_active(elements.size(), false)
        , m_subtreeSegments(elements.size(), 0)
    {
    }

    // Elements drawn for element index, with <use> expanded; -1 on a
    // reference loop or a chain too deep to render.
    qint64 count(int index, int depth)
    {
        // Segments drawn, counted along with the elements (see segments()).
        if (depth > 4 * kMaxDepth || m_active[index])
            return -1;
        if (m_count[index] >= 0) {
            m_segments += m_subtreeSegments[index];
            return m_count[index];
        }
        const qint64 segmentsBefore = m_segments;
        m_active[index] = true;
        qint64 total = 1;
        const Element &element = m_elements[index];
        m_segments += element.segments;
        if (!element.useTarget.isEmpty()) {
            const int target = m_ids.value(element.useTarget, -1);
            if (target >= 0) {
                const qint64 used = count(target, depth + 1);
                if (used < 0)
                    return -1;
                total += used;
            }
        }
        for (int child = element.firstChild; child >= 0 && total <= kMaxExpandedElements;
             child = m_elements[child].nextSibling) {
            const qint64 sub = count(child, depth + 1);
            if (sub < 0)
                return -1;
            total += sub;
        }
        m_active[index] = false;
        m_count[index] = qMin(total, kMaxExpandedElements + 1);
        m_subtreeSegments[index] = m_segments - segmentsBefore;
        return m_count[index];
    }

    // Path segments drawn by everything counted so far, every <use> of an
    // element counting its segments again.
    qint64 segments() const { return m_segments; }

private:
    const QVector<Element> &m_elements;
    qint64 m_segments = 0;
    const QHash<QString, int> &m_ids;
    QVector<qint64> m_count;
    QVector<bool> m_active;
    QVector<qint64> m_subtreeSegments;
};

} // namespace

bool isSafe(const QByteArray &document, std::optional<QRectF> *declaredViewBox, QString *reason)
{
    auto refuse = [reason](const QString &why) {
        if (reason)
            *reason = why;
        return false;
    };
    QXmlStreamReader xml(document);
    QVector<Element> elements;
    QHash<QString, int> ids;
    QVector<int> stack;
    int root = -1;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            if (!stack.isEmpty())
                stack.removeLast();
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (stack.size() >= kMaxDepth || elements.size() >= kMaxExpandedElements)
            return false;
        const int index = elements.size();
        elements.append(Element());
        const QXmlStreamAttributes attributes = xml.attributes();
        QStringRef href = attributes.value(QLatin1String("xlink:href"));
        if (href.isEmpty())
            href = attributes.value(QLatin1String("href"));
        const QStringRef name = xml.name();
        const QStringRef geometry = name == QLatin1String("path")
            ? attributes.value(QLatin1String("d"))
            : (name == QLatin1String("polyline") || name == QLatin1String("polygon"))
            ? attributes.value(QLatin1String("points"))
            : QStringRef();
        elements[index].segments = segmentCount(geometry);
        if (elements[index].segments > kMaxSegmentsPerPath)
            return refuse(
                QStringLiteral("too complex to draw: a path of %1 segments, the limit is %2")
                    .arg(ImageLimits::groupedNumber(elements[index].segments),
                        ImageLimits::groupedNumber(kMaxSegmentsPerPath)));
        if (name == QLatin1String("use") && href.startsWith(QLatin1Char('#')))
            elements[index].useTarget = href.mid(1).toString();
        if (name == QLatin1String("image") && !href.isEmpty()) {
            const QStringRef trimmed = href.trimmed();
            if (!trimmed.startsWith(QLatin1String("data:"), Qt::CaseInsensitive))
                return false;
            if (!embeddedPictureAllowed(trimmed))
                return false;
        }
        const QStringRef id = attributes.value(QLatin1String("id"));
        if (!id.isEmpty() && !ids.contains(id.toString()))
            ids.insert(id.toString(), index);
        if (stack.isEmpty()) {
            if (root < 0) {
                root = index;
                const QStringList numbers
                    = attributes.value(QLatin1String("viewBox"))
                          .toString()
                          .split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
                bool ok = numbers.size() == 4;
                qreal values[4] = { 0, 0, 0, 0 };
                for (int i = 0; ok && i < 4; ++i)
                    values[i] = numbers[i].toDouble(&ok);
                if (ok && declaredViewBox)
                    *declaredViewBox = QRectF(values[0], values[1], values[2], values[3]);
            }
        } else {
            Element &parent = elements[stack.last()];
            if (parent.lastChild >= 0)
                elements[parent.lastChild].nextSibling = index;
            else
                parent.firstChild = index;
            parent.lastChild = index;
        }
        stack.append(index);
    }
    if (xml.hasError() || root < 0)
        return false;
    Expansion expansion(elements, ids);
    const qint64 drawn = expansion.count(root, 0);
    if (drawn < 0)
        return refuse(QStringLiteral("the drawing refers to itself in a loop"));
    if (drawn > kMaxExpandedElements)
        return refuse(QStringLiteral("too complex to draw: more than %1 elements")
                          .arg(ImageLimits::groupedNumber(kMaxExpandedElements)));
    if (expansion.segments() > kMaxPathSegments)
        return refuse(QStringLiteral("too complex to draw: %1 path segments, the limit is %2")
                          .arg(ImageLimits::groupedNumber(expansion.segments()),
                              ImageLimits::groupedNumber(kMaxPathSegments)));
    return true;
}

QByteArray inflateIfCompressed(const QByteArray &data, bool *ok)
{
    *ok = true;
    if (data.size() < 2 || uchar(data[0]) != 0x1F || uchar(data[1]) != 0x8B)
        return data;
    return ZlibStream::inflate(data, true, kMaxInflatedBytes, ok);
}

} // namespace SvgDocumentCheck
