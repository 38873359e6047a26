#pragma once

#include <QString>

// One GIF compression job as the view hands it to KImageGifCompressThread:
// copied into the worker, never shared.
struct GifCompressRequest
{
    // Tells the reports of this job apart from those of earlier ones.
    int jobId = 0;
    QString sourcePath;
    // Requested output size; 0 leaves that side to follow the source's ratio
    // (both 0: the source's own size).
    int width = 0;
    int height = 0;
    // Share of the source's palette colours to keep, in percent.
    int colorPercent = 50;
    // Frame-drop option: 0 keeps every frame, 1..5 drop about 10 % .. 50 %.
    int frameOption = 0;
};
