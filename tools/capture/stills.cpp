#include "stills.h"

#include "files.h"
#include "frames.h"
#include "progress.h"
#include "schedule.h"

#include "demo/timeline.h"
#include "demo/tracks.h"
#include "render/scene_index.h"

#include <stb/stb_easy_font.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

bool captureStills(const CapturePlan& plan, std::string& error)
{
    std::error_code ignored;
    fs::create_directories(plan.out, ignored);
    Progress progress(0, static_cast<long>(plan.stills.size()));
    Picture picture;
    long done = 0;
    for (const std::string& row : plan.stills) {
        const double seconds = std::strtod(row.c_str(), nullptr) / plan.rowRate;
        warmUp(plan, seconds);
        drawAt(seconds, &picture);
        const std::vector<unsigned char> image = picture.flipped();
        if (!writePngAtomically(plan.out + "row_" + row + ".png", plan.width, plan.height, image.data(), error)) {
            return false;
        }
        progress.update(++done);
    }
    return true;
}

namespace {

// Text in white on an RGBA image, with stb_easy_font's quads filled.
void label(std::vector<unsigned char>& image, int width, int x, int y, const std::string& text)
{
    static float buffer[64 * 1024];
    const int quads = stb_easy_font_print(0, 0, const_cast<char*>(text.c_str()), nullptr, buffer, sizeof buffer);
    for (int q = 0; q < quads; ++q) {
        const float* v = &buffer[q * 16]; // four vertices of x, y, z, colour
        const int x0 = x + static_cast<int>(v[0]), y0 = y + static_cast<int>(v[1]);
        const int x1 = x + static_cast<int>(v[8]), y1 = y + static_cast<int>(v[9]);
        for (int py = y0; py < y1; ++py) {
            for (int px = x0; px < x1; ++px) {
                const size_t i = (static_cast<size_t>(py) * static_cast<size_t>(width) + static_cast<size_t>(px)) * 4;
                if (i + 3 < image.size()) image[i] = image[i + 1] = image[i + 2] = image[i + 3] = 255;
            }
        }
    }
}

} // namespace

bool captureContactSheet(const CapturePlan& plan, std::string& error)
{
    const std::vector<double> rows = contactRows(plan);
    const int columns = std::min<int>(6, static_cast<int>(rows.size()));
    const int labelHeight = 14;
    const int cellWidth = plan.width, cellHeight = plan.height + labelHeight;
    const int sheetRows = static_cast<int>((rows.size() + columns - 1) / columns);
    const int sheetWidth = columns * cellWidth, sheetHeight = sheetRows * cellHeight;
    std::vector<unsigned char> sheet(static_cast<size_t>(sheetWidth) * sheetHeight * 4, 0);
    for (size_t i = 3; i < sheet.size(); i += 4) sheet[i] = 255;
    Progress progress(0, static_cast<long>(rows.size()));
    Picture picture;
    for (size_t cell = 0; cell < rows.size(); ++cell) {
        const double seconds = rows[cell] / plan.rowRate;
        warmUp(plan, seconds);
        drawAt(seconds, &picture);
        const int scene = truncateToInt(sampleTrack(DemoTrack::Scene, rows[cell]));
        const std::vector<unsigned char> image = picture.flipped();
        const int cx = static_cast<int>(cell % columns) * cellWidth, cy = static_cast<int>(cell / columns) * cellHeight;
        for (int y = 0; y < plan.height; ++y) {
            std::memcpy(&sheet[(static_cast<size_t>(cy + y) * sheetWidth + cx) * 4],
                        &image[static_cast<size_t>(y) * plan.width * 4], static_cast<size_t>(plan.width) * 4);
        }
        char text[64];
        std::snprintf(text, sizeof text, "row %g  scene %d", rows[cell], scene);
        label(sheet, sheetWidth, cx + 3, cy + plan.height + 3, text);
        progress.update(static_cast<long>(cell + 1));
    }
    return writePngAtomically(plan.out, sheetWidth, sheetHeight, sheet.data(), error);
}
