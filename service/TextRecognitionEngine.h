#pragma once

#include <string>

#include <opencv2/core.hpp>

#include "ServiceEngine.h"

// "pic2txt": text recognition with Tesseract after the picture has been
// prepared the way a careful user would: flat background, small text scaled
// up, straightened, binarised and framed with a white border. Runs on a worker
// thread; each thread keeps its own recogniser.
namespace quorvel::service {

struct TextPreparation
{
    cv::Mat binary; // black text on white, 8-bit, with border
    double scale = 1.0; // upscaling applied
    double skewDegrees = 0.0; // rotation that was removed
    double textHeight = 0.0; // median glyph height before scaling, in pixels
};

// The preparation step alone (exposed for tests and the benchmark).
TextPreparation prepareForRecognition(const cv::Mat &grey);

// Languages handed to Tesseract: $QUORVEL_OCR_LANGUAGES or "eng+chi_sim".
std::string recognitionLanguages();

EngineOutcome recogniseText(const EngineJob &job, const EngineProgress &progress);

} // namespace quorvel::service
