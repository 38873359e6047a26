#pragma once

#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>

#include <QImage>
#include <QString>

#include "EngineTypes.h"

namespace engines {

// Colours black-and-white pictures with a colourisation network in the form
// OpenCV's DNN module reads from Caffe files: the network sees the lightness
// channel at a fixed size and predicts a distribution over quantised colour
// (a, b) points; its last two layers take their weights from the points file.
//
// Files expected in the models folder:
//   colorization_deploy_v2.prototxt        network description
//   colorization_release_v2.caffemodel     weights (or ..._v2_norebal.caffemodel)
//   pts_in_hull.npy                        the quantised (a, b) points, K x 2
//
// One instance per job, used on that job's thread.
class KColorizer
{
public:
    static const char *const networkFile;
    static const char *const weightsFile;
    static const char *const weightsFileAlt;
    static const char *const pointsFile;
    // Side of the square lightness picture the network takes.
    static constexpr int inputSide = 224;

    // Reads the network and points; false with failure() ModelMissing when a
    // file is absent, ModelInvalid when a file cannot be used.
    bool load(const QString &modelsDir);
    EngineFailure failure() const { return m_failure; }
    QString errorString() const { return m_error; }

    // A colour picture of the same size whose lightness is the source's;
    // null with errorString() set when the network cannot run.
    QImage colorize(const QImage &source);

    // Reads a two-column numeric .npy array (float or integer, C order) as a
    // K x 2 CV_32F matrix.
    static bool readPoints(const QString &path, cv::Mat *points, QString *error);

private:
    cv::dnn::Net m_net;
    EngineFailure m_failure = EngineFailure::ModelMissing;
    QString m_error = QStringLiteral("no model loaded");
};

} // namespace engines
