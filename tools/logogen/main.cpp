// logogen: draws the demo's logo, "ORVANTA", into an 8-bit RGBA PNG with real
// transparency: wide-spaced bold capitals with a cool gradient, a thin light
// edge and a soft glow around them, on nothing.
//
//   logogen FONT.ttf -o logo.png [--size WxH]
//
// The font is a TrueType file (the build uses DejaVu Sans Bold from Debian's
// fonts-dejavu-core). The output appears only once completely written.
#include "files.h"
#include "usage.h"

#include <stb/stb_truetype.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* const usageText = "usage: logogen FONT.ttf -o logo.png [--size WxH]\n";

int usage(const std::string& message)
{
    return usageError("logogen", message, usageText);
}

// Separable box blur, three times: close to a Gaussian of the given radius.
std::vector<float> blur(std::vector<float> image, int width, int height, int radius)
{
    std::vector<float> tmp(image.size());
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < height; ++y) {
            float sum = 0;
            for (int x = -radius; x <= radius; ++x) sum += image[static_cast<size_t>(y * width + std::clamp(x, 0, width - 1))];
            for (int x = 0; x < width; ++x) {
                tmp[static_cast<size_t>(y * width + x)] = sum / (2 * radius + 1);
                sum += image[static_cast<size_t>(y * width + std::min(x + radius + 1, width - 1))];
                sum -= image[static_cast<size_t>(y * width + std::max(x - radius, 0))];
            }
        }
        for (int x = 0; x < width; ++x) {
            float sum = 0;
            for (int y = -radius; y <= radius; ++y) sum += tmp[static_cast<size_t>(std::clamp(y, 0, height - 1) * width + x)];
            for (int y = 0; y < height; ++y) {
                image[static_cast<size_t>(y * width + x)] = sum / (2 * radius + 1);
                sum += tmp[static_cast<size_t>(std::min(y + radius + 1, height - 1) * width + x)];
                sum -= tmp[static_cast<size_t>(std::max(y - radius, 0) * width + x)];
            }
        }
    }
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    std::string fontPath, outPath;
    int width = 1024, height = 256;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(usageText, stdout);
            return 0;
        }
        if (arg == "-o" && i + 1 < argc) {
            outPath = argv[++i];
        } else if (arg == "--size" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 64 || height < 16 ||
                width > 8192 || height > 8192) {
                return usage("size must be WxH, 64x16 to 8192x8192");
            }
        } else if (fontPath.empty() && !arg.empty() && arg[0] != '-') {
            fontPath = arg;
        } else {
            return usage("unexpected argument '" + arg + "'");
        }
    }
    if (fontPath.empty() || outPath.empty()) return usage("a font and -o logo.png are needed");

    std::string fontBytes, message;
    if (!readWholeFile(fontPath, fontBytes, message)) {
        std::fprintf(stderr, "logogen: %s\n", message.c_str());
        return 1;
    }
    const std::vector<unsigned char> font(fontBytes.begin(), fontBytes.end());
    stbtt_fontinfo info;
    if (font.empty() || stbtt_GetNumberOfFonts(font.data()) < 1 ||
        !stbtt_InitFont(&info, font.data(), stbtt_GetFontOffsetForIndex(font.data(), 0))) {
        std::fprintf(stderr, "logogen: %s is not a TrueType font\n", fontPath.c_str());
        return 1;
    }

    // Lay the word out at a height that leaves room for the glow, with wide
    // tracking, then centre it.
    const char* word = "ORVANTA";
    const float pixelHeight = height * 0.5f;
    const float scale = stbtt_ScaleForPixelHeight(&info, pixelHeight);
    const float tracking = pixelHeight * 0.18f;
    int ascent = 0, descent = 0, gap = 0;
    stbtt_GetFontVMetrics(&info, &ascent, &descent, &gap);
    float penWidth = 0;
    for (const char* c = word; *c; ++c) {
        int advance = 0, bearing = 0;
        stbtt_GetCodepointHMetrics(&info, *c, &advance, &bearing);
        penWidth += advance * scale + (c[1] ? tracking : 0.0f);
    }
    const float fit = std::min(1.0f, width * 0.86f / penWidth);
    const float s = scale * fit;
    float pen = (width - penWidth * fit) / 2.0f;
    const float baseline = height / 2.0f + (ascent + descent) * s / 2.0f;

    std::vector<float> coverage(static_cast<size_t>(width) * static_cast<size_t>(height), 0.0f);
    for (const char* c = word; *c; ++c) {
        int x0, y0, x1, y1;
        stbtt_GetCodepointBitmapBox(&info, *c, s, s, &x0, &y0, &x1, &y1);
        const int gw = x1 - x0, gh = y1 - y0;
        std::vector<unsigned char> glyph(static_cast<size_t>(std::max(gw, 1) * std::max(gh, 1)), 0);
        if (gw > 0 && gh > 0) stbtt_MakeCodepointBitmap(&info, glyph.data(), gw, gh, gw, s, s, *c);
        const int ox = static_cast<int>(std::lround(pen)) + x0, oy = static_cast<int>(std::lround(baseline)) + y0;
        for (int y = 0; y < gh; ++y) {
            for (int x = 0; x < gw; ++x) {
                const int px = ox + x, py = oy + y;
                if (px < 0 || py < 0 || px >= width || py >= height) continue;
                float& cell = coverage[static_cast<size_t>(py * width + px)];
                cell = std::max(cell, glyph[static_cast<size_t>(y * gw + x)] / 255.0f);
            }
        }
        int advance = 0, bearing = 0;
        stbtt_GetCodepointHMetrics(&info, *c, &advance, &bearing);
        pen += advance * s + tracking * fit;
    }

    // Glow: the letters blurred wide and tinted; an edge: the letters minus
    // a slightly blurred copy of themselves.
    const std::vector<float> glow = blur(coverage, width, height, std::max(2, height / 24));
    const std::vector<float> soft = blur(coverage, width, height, 1);
    std::vector<unsigned char> rgba(coverage.size() * 4);
    for (int y = 0; y < height; ++y) {
        const float t = static_cast<float>(y) / static_cast<float>(height - 1);
        // Letters run from ice white at the top to a deep cyan at the bottom.
        const float letter[3] = {0.95f - 0.55f * t, 0.98f - 0.25f * t, 1.0f - 0.05f * t};
        const float halo[3] = {0.25f, 0.6f, 1.0f};
        for (int x = 0; x < width; ++x) {
            const size_t i = static_cast<size_t>(y * width + x);
            const float a = coverage[i];
            const float edge = std::clamp((a - soft[i]) * 3.0f, 0.0f, 1.0f);
            const float g = std::min(1.0f, glow[i] * 1.6f) * 0.75f;
            const float alpha = a + g * (1.0f - a);
            float colour[3];
            for (int k = 0; k < 3; ++k) {
                const float body = std::min(1.0f, letter[k] + edge * 0.4f);
                colour[k] = alpha > 0 ? (body * a + halo[k] * g * (1.0f - a)) / alpha : 0.0f;
            }
            for (int k = 0; k < 3; ++k) rgba[4 * i + static_cast<size_t>(k)] = static_cast<unsigned char>(std::lround(colour[k] * 255.0f));
            rgba[4 * i + 3] = static_cast<unsigned char>(std::lround(std::clamp(alpha, 0.0f, 1.0f) * 255.0f));
        }
    }

    if (!writePngAtomically(outPath, width, height, rgba.data(), message)) {
        std::fprintf(stderr, "logogen: %s\n", message.c_str());
        return 1;
    }
    return 0;
}
