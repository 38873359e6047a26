#include "TinyColourModel.h"

#include <cstring>

#include "EngineTestUtils.h"

namespace TinyColourModel {

namespace {

// Protocol-buffer wire format, just enough for a Caffe weights file.
QByteArray varint(quint64 value)
{
    QByteArray out;
    do {
        uchar byte = value & 0x7f;
        value >>= 7;
        if (value)
            byte |= 0x80;
        out.append(char(byte));
    } while (value);
    return out;
}

QByteArray field(int number, const QByteArray &payload)
{
    return varint(quint64(number) << 3 | 2) + varint(quint64(payload.size())) + payload;
}

QByteArray blob(const QVector<int> &shape, const QVector<float> &values)
{
    QByteArray dims;
    for (int d : shape)
        dims += varint(quint64(d));
    QByteArray data(values.size() * 4, '\0');
    memcpy(data.data(), values.constData(), size_t(data.size()));
    return field(7, field(1, dims)) + field(5, data); // BlobProto.shape.dim, BlobProto.data
}

QByteArray layerWeights(const QByteArray &name, const QVector<QByteArray> &blobs)
{
    QByteArray layer = field(1, name);
    for (const QByteArray &b : blobs)
        layer += field(7, b); // LayerParameter.blobs
    return field(100, layer); // NetParameter.layer
}

} // namespace

QByteArray npy(const QVector<float> &values, int rows, int cols)
{
    QByteArray header
        = QStringLiteral("{'descr': '<f4', 'fortran_order': False, 'shape': (%1, %2), }")
              .arg(rows)
              .arg(cols)
              .toLatin1();
    while ((10 + header.size() + 1) % 64)
        header += ' ';
    header += '\n';
    QByteArray out("\x93NUMPY\x01\x00", 8);
    out += char(header.size() & 0xff);
    out += char(header.size() >> 8);
    out += header;
    QByteArray data(values.size() * 4, '\0');
    memcpy(data.data(), values.constData(), size_t(data.size()));
    return out + data;
}

// The layer names and shapes of a real colourisation network, four colour
// points instead of 313 and a single 1x1 convolution before them.
const char tinyNetworkText[] = R"(name: "tiny_colorization"
layer { name: "data_l" type: "Input" top: "data_l"
        input_param { shape { dim: 1 dim: 1 dim: 224 dim: 224 } } }
layer { name: "conv8_313" type: "Convolution" bottom: "data_l" top: "conv8_313"
        convolution_param { num_output: 4 kernel_size: 1 } }
layer { name: "conv8_313_rh" type: "Scale" bottom: "conv8_313" top: "conv8_313_rh"
        scale_param { bias_term: false } }
layer { name: "class8_313_rh" type: "Softmax" bottom: "conv8_313_rh" top: "class8_313_rh" }
layer { name: "class8_ab" type: "Convolution" bottom: "class8_313_rh" top: "class8_ab"
        convolution_param { num_output: 2 kernel_size: 1 bias_term: false } }
)";

// Point 0 is a warm orange (a = 30, b = 60); the bias makes the network pick it.
QByteArray weights()
{
    return layerWeights(
        "conv8_313", { blob({ 4, 1, 1, 1 }, { 0, 0, 0, 0 }), blob({ 4 }, { 8, 0, 0, 0 }) });
}

QVector<float> points() { return { 30, 60, -40, -40, 0, 50, 20, -30 }; }

QByteArray network() { return QByteArray(tinyNetworkText); }

void write(const QString &dir, const QByteArray &network, const QByteArray &weights,
    const QByteArray &points)
{
    if (!network.isNull())
        EngineTestUtils::writeTo(dir + QStringLiteral("/colorization_deploy_v2.prototxt"), network);
    if (!weights.isNull())
        EngineTestUtils::writeTo(
            dir + QStringLiteral("/colorization_release_v2.caffemodel"), weights);
    if (!points.isNull())
        EngineTestUtils::writeTo(dir + QStringLiteral("/pts_in_hull.npy"), points);
}

void writeWorking(const QString &dir) { write(dir, network(), weights(), npy(points(), 4, 2)); }

} // namespace TinyColourModel
