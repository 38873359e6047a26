#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// A colourisation network small enough to write in a test: the layer names
// and shapes of the real one, four colour points instead of 313. Its weights
// file is written in protobuf's wire format by hand.
namespace TinyColourModel {

QByteArray network(); // the .prototxt
QByteArray weights(); // the .caffemodel: point 0 (a warm orange) always wins
QVector<float> points(); // 4 x 2 (a, b) points, row-major
// A .npy array of float32 values with the given shape.
QByteArray npy(const QVector<float> &values, int rows, int cols);
// Writes the three files under their expected names; a null part is left out.
void write(const QString &dir, const QByteArray &network, const QByteArray &weights,
    const QByteArray &points);
// The working model of network(), weights() and points().
void writeWorking(const QString &dir);

} // namespace TinyColourModel
