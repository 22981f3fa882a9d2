// logogen: draws the demo's logo, "ORVANTA", into an 8-bit RGBA PNG with real
// transparency: wide-spaced bold capitals with a cool gradient, a thin light
// edge and a soft glow around them, on nothing.
//
//   logogen FONT.ttf -o logo.png [--size WxH]
//
// The font is read with FreeType (the build uses DejaVu Sans Bold from Debian's
// fonts-dejavu-core). The output appears only once completely written.
#include "cleanup.h"
#include "files.h"
#include "lettering.h"
#include "usage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* const usageText =
    "Usage: logogen FONT.ttf -o logo.png [OPTION]...\n"
    "Draws the demo's logo into an 8-bit RGBA PNG with real transparency.\n"
    "  FONT.ttf       a TrueType or OpenType font of at most 64 MiB (read with FreeType)\n"
    "  -o logo.png    the file to write, not the font; it appears only once it is whole\n"
    "  --size WxH     the picture's size, 64x16 to 8192x8192 (default 1024x256)\n"
    "  --text TEXT    the word drawn, 1 to 32 printable ASCII characters (default ORVANTA)\n"
    "  --help         this text\n";

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
    std::string fontPath, outPath, text = "ORVANTA";
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
        } else if (arg == "--text" && i + 1 < argc) {
            text = argv[++i];
            const bool printable = std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
            if (text.empty() || text.size() > 32 || !printable) {
                return usage("--text is 1 to 32 printable ASCII characters");
            }
        } else if (fontPath.empty() && !arg.empty() && arg[0] != '-') {
            fontPath = arg;
        } else {
            return usage("unexpected argument '" + arg + "'");
        }
    }
    if (fontPath.empty() || outPath.empty()) return usage("a font and -o logo.png are needed");
    if (!inputWrittenBy(outPath, {fontPath}).empty()) return usage(outPath + " is the font " + fontPath);

    endOnSignals();
    std::string fontBytes, message;
    if (!readWholeFile(fontPath, fontBytes, message, dataFileLimit)) {
        std::fprintf(stderr, "logogen: %s\n", message.c_str());
        return 1;
    }
    std::vector<float> coverage;
    if (!setWord(fontBytes, text.c_str(), width, height, coverage, message)) {
        std::fprintf(stderr, "logogen: %s: %s\n", fontPath.c_str(), message.c_str());
        return 1;
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
