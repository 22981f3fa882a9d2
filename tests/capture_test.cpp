// orvanta-capture: frame arithmetic, and captures at 160x90 checked with
// ffprobe, byte for byte, and for picture and sound in sync.
#include "encoding.h"
#include "options.h"
#include "parts.h"
#include "plan.h"
#include "schedule.h"
#include "vorbis_writer.h"

#include "support/child_process.h"
#include "support/run_folder.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <stb/stb_image.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

namespace {

ToolRun run(const std::vector<std::string>& argv)
{
    return runTool(argv, 300.0);
}

ToolRun capture(std::vector<std::string> args, const std::string& data = ORVANTA_RUN_DIR)
{
    args.insert(args.begin(), binary("orvanta-capture"));
    args.insert(args.end(), {"--data", data});
    return run(args);
}

// A plan as the command line gives it, showing a demo as a capture reads
// one (the hashes of its files).
CapturePlan plan(std::vector<std::string> args, bool expectOk = true)
{
    args.insert(args.begin(), "orvanta-capture");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    CapturePlan parsed;
    std::string error;
    EXPECT_EQ(parseCapturePlan(static_cast<int>(argv.size()), argv.data(), parsed, error), expectOk) << error;
    parsed.shown = {"0123456789abcdef", "1123456789abcdef", "2123456789abcdef", "3123456789abcdef", "4123456789abcdef"};
    return parsed;
}

std::string probe(const std::string& file, const std::string& stream, const std::string& entry)
{
    const ToolRun r = run({"ffprobe", "-v", "error", "-select_streams", stream, "-count_frames", "-show_entries",
                       "stream=" + entry, "-of", "default=noprint_wrappers=1:nokey=1", file});
    std::string value = r.out;
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
    return value;
}

std::vector<std::string> listing(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

// The options' table is the one source of the usage text, the command line
// and the part tag: every option is in the usage, and every setting the
// parts carry comes back from a part's tag as the command line set it.
TEST(CaptureOptions, TheTableMakesTheUsageTheCommandLineAndThePartTag)
{
    const std::string& usage = captureUsageText();
    for (const CaptureOption& option : captureOptions()) {
        EXPECT_NE(usage.find(std::string("  ") + option.name + (*option.value ? " " : "") + option.value),
                  std::string::npos)
            << option.name;
    }
    for (const std::vector<std::string>& rate : {std::vector<std::string>{"--crf", "23"},
                                                 std::vector<std::string>{"--bitrate", "12M"}}) {
        std::vector<std::string> args = {"--out", "x.mp4", "--fps", "25", "--size", "640x360", "--from-row", "16.5",
                                         "--to-row", "200", "--scene-scale", "0.5", "--preset-x264", "fast",
                                         "--audio-bitrate", "128k", "--part", "2/3"};
        args.insert(args.end(), rate.begin(), rate.end());
        const CapturePlan set = plan(args);
        long first = 0, last = 0;
        ASSERT_TRUE(partFrames(set, 2, 3, first, last));
        const std::string text = partTag(set, 2, 3, first, last);
        PartTag tag;
        ASSERT_TRUE(parsePartTag(text, tag)) << text;
        size_t carried = 0;
        for (const CaptureOption& option : captureOptions()) {
            if (!option.tagKey) continue;
            ++carried;
            EXPECT_EQ(option.tagValue(tag.plan), option.tagValue(set)) << option.tagKey;
            EXPECT_NE(text.find(std::string(" ") + option.tagKey + "=" + option.tagValue(set)), std::string::npos)
                << option.tagKey << " in " << text;
        }
        EXPECT_GE(carried, 8u);
    }
}

TEST(CapturePlanTest, FramesFollowTheRowsAndTheEndOfTheProgram)
{
    EXPECT_EQ(frameCount(plan({"--out", "x.mp4", "--fps", "30", "--to-row", "64"})), 237);
    const CapturePlan whole = plan({"--out", "x.mp4"});
    const long count = frameCount(whole);
    EXPECT_GT(frameRow(whole, count - 1), 1147.5) << "the last frame is the first past the end";
    EXPECT_LE(frameRow(whole, count - 2), 1147.5);
    EXPECT_EQ(whole.width, 1920);
    EXPECT_EQ(whole.fps, 60);

    const CapturePlan later = plan({"--out", "d/", "--fps", "30", "--from-row", "16", "--to-row", "32"});
    EXPECT_DOUBLE_EQ(frameRow(later, 0), 16.0);
    EXPECT_NEAR(frameRow(later, 30), 16.0 + 488.0 / 60.0, 1e-9);
    EXPECT_EQ(later.output, CaptureOutput::Frames);

    long first = 0, last = 0;
    writtenFrames(plan({"--out", "x.mp4", "--fps", "30", "--to-row", "64", "--frames", "200:999"}), first, last);
    EXPECT_EQ(first, 200);
    EXPECT_EQ(last, 236);

    EXPECT_EQ(whole.sceneScale, 1.0f);
    EXPECT_EQ(plan({"--out", "x.mp4", "--scene-scale", "0.68"}).sceneScale, 0.68f);
    plan({"--out", "x.mp4", "--scene-scale", "2"}, false);

    const CapturePlan sheet = plan({"--contact-sheet", "s.png", "--every", "16", "--to-row", "64"});
    EXPECT_EQ(contactRows(sheet), (std::vector<double>{0, 16, 32, 48, 64}));
    EXPECT_EQ(sheet.width, 320);

    for (auto bad : std::vector<std::vector<std::string>>{
             {}, {"--out"}, {"--out", "x.mp4", "--size", "100"}, {"--out", "x.mp4", "--fps", "0"},
             {"--out", "x.mp4", "--frames", "5:2"}, {"--stills", "1,x", "--out", "d/"}, {"--stills", "4", "--out", "f.png"},
             {"--out", "x.mp4", "--from-row", "20", "--to-row", "10"}, {"--out", "x.mp4", "--bogus"},
             {"--contact-sheet", "s.png", "--out", "x.mp4"}}) {
        plan(bad, false);
    }
    const ToolRun usage = capture({"--fps", "abc", "--out", "x.mp4"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("Usage: orvanta-capture"), std::string::npos);
}

// A split render: parts on keyframe boundaries that cover the frames once,
// names that list in order, and a tag that reads back only as written.
TEST(CapturePlanTest, PartsSplitOnKeyframesAndTheirTagsReadBack)
{
    const CapturePlan whole = plan({"--out", "x.mp4", "--fps", "30", "--to-row", "64"}); // 237 frames
    long next = 0;
    for (int k = 1; k <= 3; ++k) {
        long first = -1, last = -1;
        ASSERT_TRUE(partFrames(whole, k, 3, first, last));
        EXPECT_EQ(first, next);
        EXPECT_EQ(first % keyframeInterval(whole), 0);
        next = last + 1;
    }
    EXPECT_EQ(next, 237);
    const std::vector<std::string> options = videoEncoderOptions(whole);
    const std::vector<std::string> gop = {"-g", "60"};
    EXPECT_NE(std::search(options.begin(), options.end(), gop.begin(), gop.end()), options.end());
    EXPECT_EQ(partPath("a/m.mp4", 3, 12), "a/m.part03of12.mp4");
    EXPECT_EQ(plan({"--out", "x.mp4", "--part", "2/4", "--to-row", "64"}).part, 2);
    for (auto bad : std::vector<std::vector<std::string>>{
             {"--out", "x.mp4", "--part", "5/4"}, {"--out", "x.mp4", "--part", "0/4"},
             {"--out", "x.mp4", "--part", "5/5", "--fps", "30", "--to-row", "64"}, // 4 spans of 2 s
             {"--out", "d/", "--part", "1/2"}, {"--out", "x.mp4", "--resume"}, {"--join", "--out", "x.mp4"},
             {"--join", "a.mp4", "--out", "x.mp4", "--fps", "30"}}) {
        plan(bad, false);
    }
    EXPECT_EQ(plan({"--join", "a.mp4", "b.mp4", "--out", "x.mp4"}).joined, (std::vector<std::string>{"a.mp4", "b.mp4"}));

    const CapturePlan compo = plan({"--out", "x.mp4", "--preset", "compo", "--from-row", "16"});
    PartTag tag;
    const std::string text = partTag(compo, 2, 3, 120, 239);
    ASSERT_TRUE(parsePartTag(text, tag)) << text;
    EXPECT_EQ(tag.part, 2);
    EXPECT_EQ(tag.parts, 3);
    EXPECT_EQ(tag.last, 239);
    EXPECT_EQ(tag.plan.fps, 60);
    EXPECT_EQ(tag.plan.fromRow, 16.0);
    EXPECT_TRUE(tag.plan.compo);
    EXPECT_EQ(tag.plan.audioBitrate, "256k");
    for (const std::string& broken : {text.substr(0, text.size() - 4), text + " more=1", std::string("x") + text,
                                      std::string("orvanta-capture part=4/3 frames=0-1; ") + tag.job}) {
        EXPECT_FALSE(parsePartTag(broken, tag)) << broken;
    }

    // What a part shows is in its tag, and a difference is named.
    ASSERT_TRUE(parsePartTag(text, tag));
    EXPECT_NE(text.find(" tracks=2123456789abcdef "), std::string::npos) << text;
    CapturePlan later = compo;
    later.shown.tracks = "2000000000000000";
    later.shown.music = "4000000000000000";
    PartTag other;
    ASSERT_TRUE(parsePartTag(partTag(later, 2, 3, 120, 239), other));
    EXPECT_EQ(partDifference(tag, other), "another state of the demo (its tracks, music differ)");
    later = compo;
    later.crf = 30;
    ASSERT_TRUE(parsePartTag(partTag(later, 2, 3, 120, 239), other));
    EXPECT_EQ(partDifference(tag, other), "another render's settings");
    ASSERT_TRUE(parsePartTag(partTag(compo, 1, 3, 0, 119), other));
    EXPECT_EQ(partDifference(tag, other), "");
}

// Rates that ffmpeg would misread or refuse, two rate controls at once, and
// compo sizes beyond level 4.2 are settled before anything renders.
TEST(CapturePlanTest, RatesLevelsAndRateControlsAreSettledOnTheCommandLine)
{
    for (const char* rate : {"0", ".", "1.2.3M", "0k", "12G", "-5M", "12M3", "50k"}) {
        SCOPED_TRACE(rate);
        plan({"--out", "x.mp4", "--bitrate", rate}, false);
    }
    for (const char* rate : {"0", "1k", "1M", "256x"}) {
        SCOPED_TRACE(rate);
        plan({"--out", "x.mp4", "--audio-bitrate", rate}, false);
    }
    EXPECT_EQ(plan({"--out", "x.mp4", "--bitrate", "12.5M", "--audio-bitrate", "320k"}).bitrate, "12.5M");
    plan({"--out", "x.mp4", "--crf", "20", "--bitrate", "12M"}, false);

    EXPECT_EQ(plan({"--out", "x.mp4", "--preset", "compo"}).level, "4.2");
    EXPECT_EQ(plan({"--out", "x.mp4", "--preset", "compo", "--size", "2560x1440"}).level, "5.1");
    EXPECT_EQ(plan({"--out", "x.mp4", "--preset", "compo", "--size", "3840x2160"}).level, "5.2");
    EXPECT_EQ(plan({"--out", "x.mp4", "--preset", "compo", "--size", "3840x2160", "--fps", "120"}).level, "6");
    EXPECT_EQ(plan({"--out", "x.mp4", "--preset", "compo", "--fps", "240"}).level, "5.2");
    plan({"--out", "x.mp4", "--preset", "compo", "--size", "8192x8192"}, false);
    const std::vector<std::string> options = encoderOptions(plan({"--out", "x.mp4", "--preset", "compo", "--size",
                                                                   "3840x2160"}));
    const auto level = std::find(options.begin(), options.end(), "-level:v");
    ASSERT_NE(level, options.end());
    EXPECT_EQ(*(level + 1), "5.2");
}

TEST(Capture, VideoHasTheFramesDurationAndSound)
{
    TempDir dir;
    const ToolRun r = capture({"--out", dir.file("rows.mp4"), "--size", "160x90", "--fps", "30", "--to-row", "64"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(dir.file("rows.mp4"), "v:0", "nb_read_frames"), "237");
    EXPECT_NEAR(std::stod(probe(dir.file("rows.mp4"), "v:0", "duration")), 7.9, 0.01);
    EXPECT_EQ(probe(dir.file("rows.mp4"), "v:0", "width"), "160");
    EXPECT_EQ(probe(dir.file("rows.mp4"), "v:0", "pix_fmt"), "yuv420p");
    EXPECT_EQ(probe(dir.file("rows.mp4"), "a:0", "codec_name"), "aac");
    EXPECT_NEAR(std::stod(probe(dir.file("rows.mp4"), "a:0", "duration")), 7.9, 0.05);
    EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"rows.mp4"}) << "no temporary left";
    // Standard error is a pipe here: plain progress lines, 5% apart.
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
    EXPECT_NE(r.err.find("  5%  "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("100%  237/237 frames"), std::string::npos) << r.err;
    EXPECT_LE(countOccurrences(r.err, "\n"), 21u);
}

TEST(Capture, FramesAreTheSameEveryTimeAndSplitsJoinIntoTheWhole)
{
    TempDir dir;
    const std::vector<std::string> common = {"--size", "160x90", "--fps", "30", "--to-row", "9"};
    auto frames = [&](const std::string& out, std::vector<std::string> extra) {
        std::vector<std::string> args = {"--out", dir.file(out) + "/"};
        args.insert(args.end(), common.begin(), common.end());
        args.insert(args.end(), extra.begin(), extra.end());
        const ToolRun r = capture(args);
        EXPECT_EQ(r.status, 0) << r.err;
    };
    frames("whole", {});
    frames("again", {});
    frames("split", {"--frames", "0:16"});
    frames("split", {"--frames", "17:33"});
    const std::vector<std::string> names = listing(dir.file("whole"));
    ASSERT_EQ(names.size(), 34u);
    EXPECT_EQ(listing(dir.file("split")), names);
    for (const std::string& name : names) {
        const std::string whole = readFile(dir.file("whole/" + name));
        EXPECT_FALSE(whole.empty());
        EXPECT_TRUE(readFile(dir.file("again/" + name)) == whole) << name;
        EXPECT_TRUE(readFile(dir.file("split/" + name)) == whole) << name;
    }
    // The scene scale changes the picture.
    const ToolRun reduced = capture({"--stills", "4", "--out", dir.file("scaled") + "/", "--size", "160x90", "--fps", "30",
                                     "--scene-scale", "0.5"});
    ASSERT_EQ(reduced.status, 0) << reduced.err;
    const ToolRun full = capture({"--stills", "4", "--out", dir.file("full") + "/", "--size", "160x90", "--fps", "30"});
    ASSERT_EQ(full.status, 0) << full.err;
    EXPECT_FALSE(readFile(dir.file("scaled/row_4.png")) == readFile(dir.file("full/row_4.png")));

    // A still at a frame's row is that frame (frame 30 at 30 fps: 1 s).
    const ToolRun still = capture({"--stills", "8.133333333333333", "--out", dir.file("stills") + "/", "--size", "160x90",
                               "--fps", "30"});
    ASSERT_EQ(still.status, 0) << still.err;
    EXPECT_EQ(listing(dir.file("stills")), std::vector<std::string>{"row_8.133333333333333.png"});
    EXPECT_TRUE(readFile(dir.file("stills/row_8.133333333333333.png")) == readFile(dir.file("whole/frame_000030.png")));
}

TEST(Capture, LeavesNoXServerBehind)
{
    // A screen size no other test uses, so that parallel runs do not count.
    TempDir dir;
    const ToolRun r = capture({"--stills", "0", "--out", dir.file("stills") + "/", "--size", "98x54", "--fps", "5"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(runningProcesses("Xvfb", " 98x54x24"), 0);
}

TEST(Capture, ContactSheetHasACellPerRow)
{
    TempDir dir;
    const ToolRun r = capture({"--contact-sheet", dir.file("sheet.png"), "--every", "16", "--to-row", "64", "--size",
                           "160x90", "--fps", "10"});
    ASSERT_EQ(r.status, 0) << r.err;
    int width = 0, height = 0, channels = 0;
    ASSERT_TRUE(stbi_info(dir.file("sheet.png").c_str(), &width, &height, &channels));
    EXPECT_EQ(width, 5 * 160) << "five rows: 0, 16, 32, 48, 64";
    EXPECT_EQ(height, 90 + 14);
}

namespace {

// A run folder whose picture turns white on rows 16, 32 and 48 for one row,
// with a tune that clicks on the same rows.
void writeFlashesAndClicks(TempDir& data)
{
    fs::copy(ORVANTA_RUN_DIR, data.path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    data.write("hall_d.fsh", "#version 430 core\nuniform float logo;\nout vec4 c;\nvoid main() { c = vec4(vec3(logo), 1.0); }\n");
    data.write("AA.fsh", "#version 430 core\nuniform sampler2D iChannel0;\nout vec4 c;\n"
                         "void main() { c = texelFetch(iChannel0, ivec2(gl_FragCoord.xy), 0); }\n");
    const double rowRate = 488.0 / 60.0;
    auto key = [](int32_t row, float value) {
        std::string b(reinterpret_cast<const char*>(&row), 4);
        b.append(reinterpret_cast<const char*>(&value), 4);
        b.push_back('\0');
        return b;
    };
    const int32_t count = 7;
    data.write("sync_logosync.track", std::string(reinterpret_cast<const char*>(&count), 4) + key(0, 0) + key(16, 1) +
                                          key(17, 0) + key(32, 1) + key(33, 0) + key(48, 1) + key(49, 0));
    const int32_t one = 1;
    data.write("sync_scene.track", std::string(reinterpret_cast<const char*>(&one), 4) + key(0, 0));
    ASSERT_TRUE(writeOggVorbis(data.file("tune.ogg"), 44100, 2, 44100 * 10, [&](uint64_t frame, uint32_t) {
        for (int row : {16, 32, 48}) {
            const double at = row * 44100.0 / rowRate;
            if (frame >= at && frame < at + 220) return 0.8f;
        }
        return 0.0f;
    }));
}

// A 30 fps video of that folder from row 0 flashes where it clicks, within a
// frame, on rows 16, 32 and 48.
void expectFlashesOnTheClicks(const std::string& video)
{
    const double rowRate = 488.0 / 60.0;
    const ToolRun picture = run({"ffmpeg", "-v", "error", "-i", video, "-vf", "scale=4:4", "-f", "rawvideo",
                                 "-pix_fmt", "gray", "-"});
    const ToolRun audio = run({"ffmpeg", "-v", "error", "-i", video, "-ac", "1", "-ar", "44100", "-f", "s16le", "-"});
    ASSERT_EQ(picture.status, 0);
    ASSERT_EQ(audio.status, 0);

    std::vector<double> flashes, clicks;
    bool lit = false;
    for (size_t frame = 0; frame * 16 < picture.out.size(); ++frame) {
        const bool now = static_cast<unsigned char>(picture.out[frame * 16 + 5]) > 128;
        if (now && !lit) flashes.push_back(frame / 30.0);
        lit = now;
    }
    const auto* samples = reinterpret_cast<const int16_t*>(audio.out.data());
    const size_t sampleCount = audio.out.size() / 2;
    for (size_t i = 0; i < sampleCount; ++i) {
        if (std::abs(samples[i]) > 8000 && (clicks.empty() || i / 44100.0 - clicks.back() > 0.5)) {
            clicks.push_back(i / 44100.0);
        }
    }
    ASSERT_EQ(flashes.size(), 3u);
    ASSERT_EQ(clicks.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(flashes[i], clicks[i], 1.0 / 30.0) << "flash " << i;
        EXPECT_NEAR(flashes[i], (16.0 * (i + 1)) / rowRate, 1.0 / 30.0);
    }
}

// The frames that are keyframes, from the packets' flags.
std::vector<long> keyframes(const std::string& video)
{
    const ToolRun r = run({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "packet=flags", "-of",
                           "csv=p=0", video});
    std::vector<long> frames;
    std::istringstream lines(r.out);
    std::string line;
    for (long frame = 0; std::getline(lines, line); ++frame) {
        if (line.find('K') != std::string::npos) frames.push_back(frame);
    }
    return frames;
}

} // namespace

TEST(Capture, FlashesAndClicksAgreeWithinAFrame)
{
    TempDir data;
    writeFlashesAndClicks(data);
    TempDir out;
    const ToolRun r = capture({"--out", out.file("sync.mp4"), "--size", "160x90", "--fps", "30", "--to-row", "64"}, data.path());
    ASSERT_EQ(r.status, 0) << r.err;
    expectFlashesOnTheClicks(out.file("sync.mp4"));
}

// Three parts rendered side by side by GNU parallel and joined are the single
// run: as many frames, keyframes on the same frames, every frame within
// 35 dB PSNR of the single run's (each part is encoded apart, so the bytes
// differ), the sound as long and the flashes on the clicks.
TEST(Capture, PartsRenderedWithGnuParallelJoinIntoTheSingleRun)
{
    TempDir data;
    writeFlashesAndClicks(data);
    TempDir out;
    const std::vector<std::string> common = {"--size", "160x90", "--fps", "30", "--to-row", "64", "--data", data.path()};
    std::vector<std::string> single = {binary("orvanta-capture"), "--out", out.file("single.mp4")};
    single.insert(single.end(), common.begin(), common.end());
    std::vector<std::string> parallel = {"parallel", "--will-cite", "--halt", "now,fail=1", binary("orvanta-capture"),
                                         "--part", "{}/3", "--out", out.file("split.mp4")};
    parallel.insert(parallel.end(), common.begin(), common.end());
    parallel.insert(parallel.end(), {":::", "1", "2", "3"});
    const ToolRun whole = run(single), parts = run(parallel);
    ASSERT_EQ(whole.status, 0) << whole.err;
    ASSERT_EQ(parts.status, 0) << parts.out << parts.err;
    for (int k = 1; k <= 3; ++k) {
        EXPECT_NE(parts.err.find("part " + std::to_string(k) + "/3: frames"), std::string::npos) << parts.err;
    }
    const ToolRun joined = capture({"--join", out.file("split.part3of3.mp4"), out.file("split.part1of3.mp4"),
                                    out.file("split.part2of3.mp4"), "--out", out.file("joined.mp4")}, data.path());
    ASSERT_EQ(joined.status, 0) << joined.err;
    EXPECT_NE(joined.err.find("joined 3 parts, frames 0-236"), std::string::npos) << joined.err;

    EXPECT_EQ(probe(out.file("joined.mp4"), "v:0", "nb_read_frames"), "237");
    EXPECT_EQ(keyframes(out.file("joined.mp4")), (std::vector<long>{0, 60, 120, 180}));
    EXPECT_EQ(keyframes(out.file("single.mp4")), keyframes(out.file("joined.mp4")));
    EXPECT_NEAR(std::stod(probe(out.file("joined.mp4"), "a:0", "duration")),
                std::stod(probe(out.file("single.mp4"), "a:0", "duration")), 1.0 / 30.0);
    const ToolRun frames = run({"ffmpeg", "-v", "error", "-i", out.file("single.mp4"), "-i", out.file("joined.mp4"),
                                "-lavfi", "psnr=stats_file=-", "-f", "null", "-"});
    ASSERT_EQ(frames.status, 0) << frames.err;
    std::istringstream stats(frames.out);
    std::string line;
    int compared = 0;
    while (std::getline(stats, line)) {
        const size_t at = line.find("psnr_avg:");
        if (at == std::string::npos) continue;
        ++compared;
        const std::string value = line.substr(at + 9, line.find(' ', at) - at - 9);
        if (value != "inf") {
            EXPECT_GT(std::stod(value), 35.0) << line;
        }
    }
    EXPECT_EQ(compared, 237);
    expectFlashesOnTheClicks(out.file("joined.mp4"));
}

// The join refuses a missing part, naming the file it expected, and a part
// of another render; --resume keeps a whole part and renders a part cut
// short again.
TEST(Capture, JoinRefusesMissingOrForeignPartsAndResumeRedoesOnlyBrokenOnes)
{
    TempDir out;
    auto part = [&](int k, const std::string& name, std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"--part", std::to_string(k) + "/3", "--out", out.file(name), "--size", "64x36",
                                         "--fps", "10", "--to-row", "64"};
        args.insert(args.end(), more.begin(), more.end());
        return capture(args);
    };
    for (int k = 1; k <= 3; ++k) ASSERT_EQ(part(k, "m.mp4").status, 0);
    fs::create_directories(out.file("other"));
    ASSERT_EQ(part(2, "other/m.mp4", {"--crf", "30"}).status, 0);

    const ToolRun gap = capture({"--join", out.file("m.part1of3.mp4"), out.file("m.part3of3.mp4"), "--out",
                                 out.file("all.mp4")});
    EXPECT_EQ(gap.status, 1);
    EXPECT_NE(gap.err.find("part 2 of 3 is missing (" + out.file("m.part2of3.mp4") + ")"), std::string::npos) << gap.err;
    const ToolRun foreign = capture({"--join", out.file("m.part1of3.mp4"), out.file("other/m.part2of3.mp4"),
                                     out.file("m.part3of3.mp4"), "--out", out.file("all.mp4")});
    EXPECT_EQ(foreign.status, 1);
    EXPECT_NE(foreign.err.find("of another render's settings"), std::string::npos) << foreign.err;
    EXPECT_FALSE(fs::exists(out.file("all.mp4")));

    const std::string first = readFile(out.file("m.part1of3.mp4"));
    const ToolRun kept = part(1, "m.mp4", {"--resume"});
    ASSERT_EQ(kept.status, 0) << kept.err;
    EXPECT_NE(kept.err.find("complete: kept"), std::string::npos) << kept.err;
    const std::string third = readFile(out.file("m.part3of3.mp4"));
    fs::resize_file(out.file("m.part3of3.mp4"), third.size() / 2);
    const ToolRun cut = capture({"--join", out.file("m.part1of3.mp4"), out.file("m.part2of3.mp4"),
                                 out.file("m.part3of3.mp4"), "--out", out.file("all.mp4")});
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.err.find(out.file("m.part3of3.mp4")), std::string::npos) << cut.err;
    const ToolRun redone = part(3, "m.mp4", {"--resume"});
    ASSERT_EQ(redone.status, 0) << redone.err;
    EXPECT_EQ(redone.err.find("complete: kept"), std::string::npos) << redone.err;
    EXPECT_EQ(readFile(out.file("m.part1of3.mp4")), first);

    const ToolRun all = capture({"--join", out.file("m.part1of3.mp4"), out.file("m.part2of3.mp4"),
                                 out.file("m.part3of3.mp4"), "--out", out.file("all.mp4")});
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(probe(out.file("all.mp4"), "v:0", "nb_read_frames"), "79");
}

// A part records what it shows: rendered before the demo changed, it is
// rendered again by --resume, which says what changed; joined with the
// demo as it is now (whose music the join takes), it is refused, naming
// what differs.
TEST(Capture, PartsOfAnotherStateOfTheDemoAreRenderedAgainAndNeverJoined)
{
    TempDir out;
    RunFolder data;
    auto part = [&](int k, std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"--part", std::to_string(k) + "/2", "--out", out.file("m.mp4"), "--size",
                                         "64x36", "--fps", "10", "--to-row", "32"};
        args.insert(args.end(), more.begin(), more.end());
        return capture(args, data.path());
    };
    for (int k = 1; k <= 2; ++k) ASSERT_EQ(part(k).status, 0);
    const std::vector<std::string> join = {"--join", out.file("m.part1of2.mp4"), out.file("m.part2of2.mp4"), "--out",
                                           out.file("all.mp4")};
    // Another demo's music under the same parts.
    RunFolder other;
    std::string tune = readFile(other.file("tune.ogg"));
    tune[tune.size() / 2] ^= 1;
    other.write("tune.ogg", tune);
    const ToolRun otherMusic = capture(join, other.path());
    EXPECT_EQ(otherMusic.status, 1);
    EXPECT_NE(otherMusic.err.find("the parts show another state of the demo (its music differ)"), std::string::npos)
        << otherMusic.err;
    EXPECT_FALSE(fs::exists(out.file("all.mp4")));

    // The tracks change after the parts were rendered.
    std::string track = readFile(data.file("sync_cam.dist.x.track"));
    track.back() ^= 1;
    data.write("sync_cam.dist.x.track", track);
    const ToolRun stale = capture(join, data.path());
    EXPECT_EQ(stale.status, 1);
    EXPECT_NE(stale.err.find("(its tracks differ)"), std::string::npos) << stale.err;
    const ToolRun redone = part(1, {"--resume"});
    ASSERT_EQ(redone.status, 0) << redone.err;
    EXPECT_NE(redone.err.find(out.file("m.part1of2.mp4") + " is of another state of the demo (its tracks differ): "
                              "rendering it again"),
              std::string::npos)
        << redone.err;
    const ToolRun mixed = capture(join, data.path());
    EXPECT_NE(mixed.err.find(out.file("m.part2of2.mp4") + " is of another state of the demo (its tracks differ) than " +
                             out.file("m.part1of2.mp4")),
              std::string::npos)
        << mixed.err;
    ASSERT_EQ(part(2, {"--resume"}).status, 0);
    const ToolRun joined = capture(join, data.path());
    ASSERT_EQ(joined.status, 0) << joined.err;
}

// A join counts what it wrote, and a part counts as whole only as far as
// its frames decode: a copy a few bytes short, a damaged NAL length, or
// tags that say another frame rate than the picture's fail the join, which
// then writes nothing; --resume renders such a part again.
TEST(Capture, AJoinTrustsOnlyWhatDecodes)
{
    TempDir out;
    auto part = [&](int k, std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"--part", std::to_string(k) + "/3", "--out", out.file("m.mp4"), "--size", "64x36",
                                         "--fps", "10", "--to-row", "64"};
        args.insert(args.end(), more.begin(), more.end());
        return capture(args);
    };
    for (int k = 1; k <= 3; ++k) ASSERT_EQ(part(k).status, 0);
    const std::vector<std::string> parts = {out.file("m.part1of3.mp4"), out.file("m.part2of3.mp4"),
                                            out.file("m.part3of3.mp4")};
    auto join = [&](const std::vector<std::string>& files) {
        std::vector<std::string> args = {"--join"};
        args.insert(args.end(), files.begin(), files.end());
        args.insert(args.end(), {"--out", out.file("all.mp4")});
        return capture(args);
    };
    const std::string third = readFile(parts[2]);
    for (size_t cut : {1, 100, 219}) {
        SCOPED_TRACE(cut);
        out.write("short.mp4", third.substr(0, third.size() - cut));
        const ToolRun joined = join({parts[0], parts[1], out.file("short.mp4")});
        EXPECT_EQ(joined.status, 1) << joined.err;
        EXPECT_NE(joined.err.find(out.file("short.mp4")), std::string::npos) << joined.err;
        EXPECT_FALSE(fs::exists(out.file("all.mp4")));
    }
    // The first NAL length of the first frame, past anything the frame has.
    std::string damaged = readFile(parts[1]);
    const size_t media = damaged.find("mdat");
    ASSERT_NE(media, std::string::npos);
    damaged.replace(media + 4, 4, std::string("\x00\x7f\xff\xff", 4));
    out.write("damaged.mp4", damaged);
    const ToolRun broken = join({parts[0], out.file("damaged.mp4"), parts[2]});
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.err.find("damaged.mp4"), std::string::npos) << broken.err;

    // Tags that say 1 frame a second over a picture at 10.
    std::vector<std::string> retagged;
    for (int k = 0; k < 3; ++k) {
        const ToolRun comment = run({"ffprobe", "-v", "error", "-show_entries", "format_tags=comment", "-of",
                                     "default=noprint_wrappers=1:nokey=1", parts[static_cast<size_t>(k)]});
        std::string tag = comment.out.substr(0, comment.out.find('\n'));
        const size_t at = tag.find(" fps=10 ");
        ASSERT_NE(at, std::string::npos) << tag;
        tag.replace(at, 8, " fps=1 ");
        retagged.push_back(out.file("r" + std::to_string(k) + ".mp4"));
        ASSERT_EQ(run({"ffmpeg", "-v", "error", "-i", parts[static_cast<size_t>(k)], "-c", "copy", "-metadata",
                       "comment=" + tag, retagged.back()})
                      .status,
                  0);
    }
    const ToolRun slow = join(retagged);
    EXPECT_EQ(slow.status, 1);
    EXPECT_NE(slow.err.find("frames a second, its tag says 1"), std::string::npos) << slow.err;
    EXPECT_FALSE(fs::exists(out.file("all.mp4")));

    // --resume keeps a whole part and renders one a few bytes short again.
    fs::copy_file(out.file("short.mp4"), parts[2], fs::copy_options::overwrite_existing);
    const ToolRun redone = part(3, {"--resume"});
    ASSERT_EQ(redone.status, 0) << redone.err;
    EXPECT_EQ(redone.err.find("complete: kept"), std::string::npos) << redone.err;
    const ToolRun whole = join(parts);
    ASSERT_EQ(whole.status, 0) << whole.err;
    EXPECT_EQ(probe(out.file("all.mp4"), "v:0", "nb_read_frames"), "79");
}

TEST(Capture, CompoPresetIsHighProfileBt709WithFortyEightKilohertzAac)
{
    TempDir dir;
    const std::string out = dir.file("compo.mp4");
    const ToolRun r = capture({"--preset", "compo", "--out", out, "--size", "320x180", "--to-row", "16"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(out, "v:0", "codec_name"), "h264");
    EXPECT_EQ(probe(out, "v:0", "profile"), "High");
    EXPECT_LE(std::stoi(probe(out, "v:0", "level")), 42);
    EXPECT_EQ(probe(out, "v:0", "pix_fmt"), "yuv420p");
    EXPECT_EQ(probe(out, "v:0", "color_space"), "bt709");
    EXPECT_EQ(probe(out, "v:0", "color_primaries"), "bt709");
    EXPECT_EQ(probe(out, "v:0", "color_transfer"), "bt709");
    EXPECT_EQ(probe(out, "v:0", "color_range"), "tv");
    EXPECT_EQ(probe(out, "v:0", "r_frame_rate"), "60/1");
    EXPECT_EQ(probe(out, "a:0", "codec_name"), "aac");
    EXPECT_EQ(probe(out, "a:0", "sample_rate"), "48000");
    EXPECT_EQ(probe(out, "a:0", "channels"), "2");
    EXPECT_NEAR(std::stod(probe(out, "a:0", "bit_rate")), 256000, 40000);

    // The conversion itself is BT.709: a pure red frame decodes to BT.709's
    // limited-range Y'CbCr for red (63, 102, 240), not BT.601's (81, 90, 240).
    RunFolder data;
    data.write("AA.fsh", "#version 430 core\nout vec4 c;\nvoid main() { c = vec4(1.0, 0.0, 0.0, 1.0); }\n");
    const ToolRun red = capture({"--out", dir.file("red.mp4"), "--size", "64x64", "--fps", "10", "--to-row", "4"},
                                data.path());
    ASSERT_EQ(red.status, 0) << red.err;
    const ToolRun yuv = run({"ffmpeg", "-v", "error", "-i", dir.file("red.mp4"), "-frames:v", "1", "-f", "rawvideo",
                             "-pix_fmt", "yuv420p", "-"});
    ASSERT_EQ(yuv.out.size(), 64u * 64u * 3u / 2u);
    EXPECT_NEAR(static_cast<unsigned char>(yuv.out[32 * 64 + 32]), 63, 2) << "Y'";
    EXPECT_NEAR(static_cast<unsigned char>(yuv.out[64 * 64 + 16 * 32 + 16]), 102, 2) << "Cb";
    EXPECT_NEAR(static_cast<unsigned char>(yuv.out[64 * 64 + 32 * 32 + 16 * 32 + 16]), 240, 2) << "Cr";
}

TEST(Capture, EglAndXvfbGiveTheSamePictures)
{
    TempDir dir;
    for (const char* gl : {"egl", "xvfb"}) {
        const ToolRun r = capture({"--gl", gl, "--stills", "64,400,700", "--out", dir.file(gl) + "/", "--size", "160x90"});
        ASSERT_EQ(r.status, 0) << gl << ": " << r.err;
    }
    for (const char* row : {"64", "400", "700"}) {
        const std::string egl = readFile(dir.file(std::string("egl/row_") + row + ".png"));
        EXPECT_FALSE(egl.empty());
        EXPECT_EQ(egl, readFile(dir.file(std::string("xvfb/row_") + row + ".png"))) << "row " << row;
    }
}

// A demo folder is captured on its own timeline, with its own music.
TEST(Capture, AFolderIsCapturedOnItsOwnTimeline)
{
    TempDir dir;
    const std::string demo = dir.file("glowy");
    ASSERT_EQ(run({binary("orvanta-new"), demo}).status, 0);
    const ToolRun video = run({binary("orvanta-capture"), demo, "--out", dir.file("glowy.mp4"), "--size", "160x90",
                               "--fps", "10"});
    ASSERT_EQ(video.status, 0) << video.err;
    // 128 rows at 120 beats a minute: 16 s, the frame on the end row and the
    // first past it, where the run ends.
    EXPECT_EQ(probe(dir.file("glowy.mp4"), "v:0", "nb_read_frames"), "162");
    EXPECT_NEAR(std::stod(probe(dir.file("glowy.mp4"), "a:0", "duration")), 16.2, 0.05);
    EXPECT_EQ(listing(dir.path()), (std::vector<std::string>{"glowy", "glowy.mp4"}));
    // A second scene from bar 4: red sky where the first has a dark one.
    std::string second = readFile(demo + "/scene.fsh");
    const size_t sky = second.find("vec3 sky = ");
    second.replace(sky, second.find(';', sky) - sky, "vec3 sky = vec3(1.0, 0.0, 0.0)");
    std::ofstream(demo + "/second.fsh") << second;
    std::ofstream(demo + "/demo.toml", std::ios::app)
        << "\n[[scene]]\nname = \"second\"\npasses = [\"second.fsh\", \"trail.fsh\", \"focus.fsh\", \"grade.fsh\"]\n";
    std::string tracks = readFile(demo + "/demo.tracks");
    const std::string first = "  0:0:0      0        step\n";
    tracks.insert(tracks.find(first) + first.size(), "  4:0:0      1        step\n");
    std::ofstream(demo + "/demo.tracks", std::ios::trunc) << tracks;
    const ToolRun both = run({binary("orvanta-capture"), demo, "--stills", "32,96", "--size", "160x90", "--out", dir.file("both/")});
    ASSERT_EQ(both.status, 0) << both.err;
    std::vector<unsigned char> top;
    for (const char* still : {"row_32.png", "row_96.png"}) {
        int w = 0, h = 0, n = 0;
        unsigned char* pixels = stbi_load(dir.file(std::string("both/") + still).c_str(), &w, &h, &n, 3);
        ASSERT_NE(pixels, nullptr) << still;
        top.insert(top.end(), pixels + (3 * w + 150) * 3, pixels + (3 * w + 150) * 3 + 3);
        stbi_image_free(pixels);
    }
    EXPECT_GT(top[2], 60) << "scene 0's sky at row 32";
    EXPECT_GT(top[3], 200) << "scene 1's red sky at row 96";
    EXPECT_LT(top[5], 60);

    // Rows are read on the folder's timeline.
    const ToolRun late = run({binary("orvanta-capture"), "--from-row", "200", demo, "--out", dir.file("late.mp4")});
    EXPECT_EQ(late.status, 2);
    EXPECT_NE(late.err.find("--from-row is a row from 0 to 128"), std::string::npos) << late.err;

}

// Orvanta's own folder (data/, its tune the run folder's) draws the stills
// the executables' tables draw.
TEST(Capture, OrvantasFolderDrawsTheStillsOfTheExecutablesTables)
{
    TempDir dir;
    // Orvanta's sources as a folder of their own, with the tune rendered
    // from its score (a demo takes its files from inside its folder).
    const std::string orvanta = dir.file("orvanta");
    fs::copy(ORVANTA_DATA_DIR, orvanta, fs::copy_options::recursive);
    fs::copy_file(std::string(ORVANTA_RUN_DIR) + "/tune.ogg", orvanta + "/tune.ogg");
    const ToolRun folder = run({binary("orvanta-capture"), orvanta, "--stills", "64,700", "--size", "160x90",
                                "--out", dir.file("folder/")});
    ASSERT_EQ(folder.status, 0) << folder.err;
    ASSERT_EQ(capture({"--stills", "64,700", "--size", "160x90", "--out", dir.file("tables/")}).status, 0);
    for (const char* still : {"row_64.png", "row_700.png"}) {
        const std::string a = readFile(dir.file(std::string("folder/") + still));
        EXPECT_FALSE(a.empty());
        EXPECT_EQ(a, readFile(dir.file(std::string("tables/") + still))) << still;
    }
}
