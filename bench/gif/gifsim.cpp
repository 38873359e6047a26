// Similarity of a converted GIF against reference frames, the same measure for
// every encoder under test. The reference is a raw RGBA stream (8 bits per channel,
// frames back to back) at the output size, e.g. ImageMagick's
//   convert source.gif -coalesce -resize WxH! -depth 8 rgba:ref.rgba
// Usage: gifsim <ref.rgba> <converted.gif> <kept frame indices, comma separated | all>
// Prints: frames, total delay, PSNR (dB, RGB over mid grey) and mean SSIM (luma).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gif_lib.h>

namespace {

struct Frame
{
    std::vector<unsigned char> rgba;
    int delay = 0;
};

bool composeGif(const char *path, int *width, int *height, std::vector<Frame> *frames)
{
    int error = 0;
    GifFileType *gif = DGifOpenFileName(path, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) {
        std::fprintf(stderr, "cannot decode %s\n", path);
        return false;
    }
    const int w = gif->SWidth, h = gif->SHeight;
    std::vector<unsigned char> canvas(size_t(w) * h * 4, 0), saved;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage &im = gif->SavedImages[i];
        GraphicsControlBlock gcb { 0, false, 0, NO_TRANSPARENT_COLOR };
        DGifSavedExtensionToGCB(gif, i, &gcb);
        const ColorMapObject *map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
        const int l = im.ImageDesc.Left, t = im.ImageDesc.Top;
        const int iw = im.ImageDesc.Width, ih = im.ImageDesc.Height;
        if (gcb.DisposalMode == DISPOSE_PREVIOUS)
            saved = canvas;
        for (int y = 0; y < ih; ++y) {
            for (int x = 0; x < iw; ++x) {
                const int cx = l + x, cy = t + y;
                if (cx >= w || cy >= h)
                    continue;
                const int idx = im.RasterBits[size_t(y) * iw + x];
                if (idx == gcb.TransparentColor || !map || idx >= map->ColorCount)
                    continue;
                unsigned char *p = &canvas[(size_t(cy) * w + cx) * 4];
                p[0] = map->Colors[idx].Red;
                p[1] = map->Colors[idx].Green;
                p[2] = map->Colors[idx].Blue;
                p[3] = 255;
            }
        }
        frames->push_back(Frame { canvas, gcb.DelayTime });
        if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
            for (int y = t; y < t + ih && y < h; ++y)
                for (int x = l; x < l + iw && x < w; ++x)
                    std::memset(&canvas[(size_t(y) * w + x) * 4], 0, 4);
        } else if (gcb.DisposalMode == DISPOSE_PREVIOUS) {
            canvas = saved;
        }
    }
    *width = w;
    *height = h;
    DGifCloseFile(gif, &error);
    return true;
}

// Composited over mid grey, so transparency errors count too.
void toRgb(const unsigned char *rgba, size_t n, std::vector<double> *rgb)
{
    rgb->resize(n * 3);
    for (size_t i = 0; i < n; ++i) {
        const double a = rgba[i * 4 + 3] / 255.0;
        for (int c = 0; c < 3; ++c)
            (*rgb)[i * 3 + c] = rgba[i * 4 + c] * a + 128.0 * (1 - a);
    }
}

double ssim(const std::vector<double> &first, const std::vector<double> &second, int w, int h)
{
    auto luma = [&](const std::vector<double> &v, size_t i) {
        return 0.299 * v[i * 3] + 0.587 * v[i * 3 + 1] + 0.114 * v[i * 3 + 2];
    };
    const double c1 = 6.5025, c2 = 58.5225;
    double total = 0;
    int windows = 0;
    const int win = 8, step = 4;
    for (int y0 = 0; y0 + win <= h; y0 += step) {
        for (int x0 = 0; x0 + win <= w; x0 += step) {
            double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
            for (int y = y0; y < y0 + win; ++y)
                for (int x = x0; x < x0 + win; ++x) {
                    const size_t i = size_t(y) * w + x;
                    const double a = luma(first, i), b = luma(second, i);
                    sx += a;
                    sy += b;
                    sxx += a * a;
                    syy += b * b;
                    sxy += a * b;
                }
            const double n = win * win;
            const double mx = sx / n, my = sy / n;
            const double vx = sxx / n - mx * mx, vy = syy / n - my * my, cxy = sxy / n - mx * my;
            total += ((2 * mx * my + c1) * (2 * cxy + c2))
                / ((mx * mx + my * my + c1) * (vx + vy + c2));
            ++windows;
        }
    }
    return windows ? total / windows : 1.0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: gifsim ref.rgba converted.gif kept|all\n");
        return 2;
    }
    int w = 0, h = 0;
    std::vector<Frame> out;
    if (!composeGif(argv[2], &w, &h, &out))
        return 1;
    std::ifstream refFile(argv[1], std::ios::binary);
    std::vector<unsigned char> ref((std::istreambuf_iterator<char>(refFile)), {});
    const size_t frameBytes = size_t(w) * h * 4;
    const size_t refFrames = ref.size() / frameBytes;
    std::vector<size_t> kept;
    if (std::strcmp(argv[3], "all") == 0) {
        for (size_t i = 0; i < refFrames; ++i)
            kept.push_back(i);
    } else {
        std::stringstream list(argv[3]);
        std::string item;
        while (std::getline(list, item, ','))
            kept.push_back(std::stoul(item));
    }
    if (kept.size() != out.size()) {
        std::fprintf(stderr, "frame count %zu, expected %zu\n", out.size(), kept.size());
        return 1;
    }
    double squared = 0, ssimSum = 0;
    long delay = 0;
    std::vector<double> a, b;
    for (size_t k = 0; k < out.size(); ++k) {
        if (kept[k] >= refFrames) {
            std::fprintf(stderr, "reference has %zu frames\n", refFrames);
            return 1;
        }
        toRgb(&ref[kept[k] * frameBytes], size_t(w) * h, &a);
        toRgb(out[k].rgba.data(), size_t(w) * h, &b);
        for (size_t i = 0; i < a.size(); ++i)
            squared += (a[i] - b[i]) * (a[i] - b[i]);
        ssimSum += ssim(a, b, w, h);
        delay += out[k].delay;
    }
    const double mse = squared / (double(out.size()) * w * h * 3);
    const double psnr = mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99.0;
    std::printf("frames=%zu delay=%ld psnr=%.3f ssim=%.5f\n", out.size(), delay, psnr,
        ssimSum / out.size());
    return 0;
}
