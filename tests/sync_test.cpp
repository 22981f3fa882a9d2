// The keyframe-track library: file reading, lookup, search and sampling.
#include "sync.h"

#include "support/temp_dir.h"
#include "support/track_bytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// A track held in memory, as the reader would leave it.
struct MemoryTrack {
    explicit MemoryTrack(std::vector<TrackKey> k) : keys(std::move(k))
    {
        track.name = name;
        track.keys = keys.empty() ? nullptr : keys.data();
        track.keyCount = static_cast<int32_t>(keys.size());
    }
    char name[6] = "track";
    std::vector<TrackKey> keys;
    SyncTrack track{};
};

MemoryTrack twoKeys(int32_t code)
{
    return MemoryTrack({{10, 0.0f, code}, {20, 1.0f, Step}});
}

class TrackFiles : public testing::Test {
protected:
    void SetUp() override
    {
        base = dir.file("sync");
        device = sync_open_device(base.c_str());
        ASSERT_NE(device, nullptr);
    }
    void TearDown() override { sync_close_device(device); }

    void writeTrack(const std::string& name, const std::string& bytes)
    {
        dir.write("sync_" + name + ".track", bytes);
    }
    SyncTrack* open(const std::string& name, const std::string& bytes)
    {
        writeTrack(name, bytes);
        return sync_open_track(device, name.c_str());
    }

    TempDir dir;
    std::string base;
    SyncDevice* device = nullptr;
};

} // namespace

TEST(SyncSample, InterpolationTableToTheExactFloat)
{
    struct Row {
        double row;
        float step, linear, smooth, ramp;
    };
    const Row table[] = {
        {9.999, 0.0f, 0.0f, 0.0f, 0.0f},      {10.0, 0.0f, 0.0f, 0.0f, 0.0f},
        {12.5, 0.0f, 0.25f, 0.15625f, 0.0625f}, {15.0, 0.0f, 0.5f, 0.5f, 0.25f},
        {19.5, 0.0f, 0.95f, 0.99275f, 0.9025f}, {20.0, 1.0f, 1.0f, 1.0f, 1.0f},
        {25.0, 1.0f, 1.0f, 1.0f, 1.0f},
    };
    MemoryTrack step = twoKeys(Step), linear = twoKeys(Linear), smooth = twoKeys(Smooth), ramp = twoKeys(Ramp);
    for (const Row& r : table) {
        SCOPED_TRACE(r.row);
        EXPECT_EQ(sync_sample_track(&step.track, r.row), r.step);
        EXPECT_EQ(sync_sample_track(&linear.track, r.row), r.linear);
        EXPECT_EQ(sync_sample_track(&smooth.track, r.row), r.smooth);
        EXPECT_EQ(sync_sample_track(&ramp.track, r.row), r.ramp);
    }
    // The rounding happens once, at the end, from double arithmetic.
    EXPECT_EQ(sync_sample_track(&linear.track, 19.5), static_cast<float>(0.95 * 1.0 + 0.0));
    EXPECT_EQ(sync_sample_track(&smooth.track, 12.5), 0.15625f);
}

TEST(SyncSample, BlendsInDoubleFromASinglePrecisionDifference)
{
    // 0.5 - 3e7 rounds to -30000000 in float; the blend then runs in double:
    // 0.9 * -30000000 + 3e7 = 3000000. A double difference would give
    // 3000000.45, which rounds to 3000000.5.
    MemoryTrack track({{0, 3e7f, Linear}, {10, 0.5f, Step}});
    EXPECT_EQ(sync_sample_track(&track.track, 9.0), 3000000.0f);
}

TEST(SyncSample, EmptySingleAndOutsideRows)
{
    MemoryTrack empty({});
    for (double row : {-5.0, 0.0, 1000.0}) EXPECT_EQ(sync_sample_track(&empty.track, row), 0.0f);
    EXPECT_EQ(sync_sample_track(nullptr, 3.0), 0.0f);

    MemoryTrack single({{7, 3.0f, Linear}});
    for (double row : {-1.0, 7.0, 100.0}) EXPECT_EQ(sync_sample_track(&single.track, row), 3.0f);

    // -0.5 is searched as row -1, before the first key at 0.
    MemoryTrack fromZero({{0, 4.0f, Linear}, {10, 8.0f, Step}});
    EXPECT_EQ(sync_sample_track(&fromZero.track, -0.5), 4.0f);
    EXPECT_EQ(sync_sample_track(&fromZero.track, 1e300), 8.0f);
    EXPECT_EQ(sync_sample_track(&fromZero.track, -1e300), 4.0f);
    EXPECT_EQ(sync_sample_track(&fromZero.track, NAN), 4.0f);
}

TEST(SyncSample, InvalidCodesGiveZeroOnTheirStretchOnly)
{
    MemoryTrack track({{10, 2.0f, 4}, {20, 1.0f, Linear}});
    EXPECT_EQ(sync_sample_track(&track.track, 9.0), 2.0f);
    EXPECT_EQ(sync_sample_track(&track.track, 10.0), 0.0f);
    EXPECT_EQ(sync_sample_track(&track.track, 15.0), 0.0f);
    EXPECT_EQ(sync_sample_track(&track.track, 20.0), 1.0f);

    MemoryTrack negative({{0, 5.0f, -1}, {8, 6.0f, -128}});
    EXPECT_EQ(sync_sample_track(&negative.track, -3.0), 5.0f);
    EXPECT_EQ(sync_sample_track(&negative.track, 4.0), 0.0f);
    EXPECT_EQ(sync_sample_track(&negative.track, 8.0), 6.0f);
}

TEST(SyncSample, WideRowGapsDoNotOverflow)
{
    MemoryTrack track({{INT32_MIN, 0.0f, Linear}, {INT32_MAX, 1.0f, Step}});
    EXPECT_NEAR(sync_sample_track(&track.track, 0.0), 0.5f, 1e-6);
}

TEST(SyncSearch, ExactBeforeBetweenAndAfter)
{
    MemoryTrack track = twoKeys(Step);
    EXPECT_EQ(sync_search_key(&track.track, 10), 0);
    EXPECT_EQ(sync_search_key(&track.track, 20), 1);
    EXPECT_EQ(sync_search_key(&track.track, 5), -1);
    EXPECT_EQ(sync_search_key(&track.track, 15), -2);
    EXPECT_EQ(sync_search_key(&track.track, 25), -3);

    std::vector<TrackKey> keys;
    for (int i = 0; i < 1000; ++i) keys.push_back({3 * i, static_cast<float>(i), Linear});
    MemoryTrack many(keys);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(sync_search_key(&many.track, 3 * i), i);
        ASSERT_EQ(sync_search_key(&many.track, 3 * i + 1), -(i + 1) - 1);
    }
    EXPECT_EQ(sync_search_key(nullptr, 3), -1);
}

// The plain binary search that key search must agree with.
int referenceSearch(const std::vector<TrackKey>& keys, int row)
{
    int lo = 0, hi = static_cast<int>(keys.size());
    while (lo < hi) {
        int mi = (lo + hi) / 2;
        if (keys[static_cast<size_t>(mi)].row < row) lo = mi + 1;
        else if (keys[static_cast<size_t>(mi)].row > row) hi = mi;
        else return mi;
    }
    return -lo - 1;
}

TEST(SyncSearch, AgreesWithAPlainBinarySearchOnEvenAndUnevenTracks)
{
    std::mt19937 random(7);
    for (int trial = 0; trial < 300; ++trial) {
        const int count = 1 + static_cast<int>(random() % 400);
        std::vector<TrackKey> keys;
        int32_t row = static_cast<int32_t>(random() % 100) - 50;
        for (int i = 0; i < count; ++i) {
            keys.push_back({row, 0.0f, Step});
            // Mostly even gaps, with clusters and long jumps mixed in.
            const uint32_t kind = random() % 10;
            row += kind < 6 ? 4 : kind < 8 ? 1 : static_cast<int32_t>(1 + random() % 5000);
        }
        MemoryTrack track(keys);
        for (int probe = 0; probe < 200; ++probe) {
            const int r = keys.front().row - 10 + static_cast<int>(random() % static_cast<uint32_t>(row - keys.front().row + 20));
            ASSERT_EQ(sync_search_key(&track.track, r), referenceSearch(keys, r)) << "row " << r;
        }
        for (const TrackKey& key : keys) {
            ASSERT_EQ(sync_search_key(&track.track, key.row), referenceSearch(keys, key.row));
        }
    }
    MemoryTrack extremes({{INT32_MIN, 0.0f, Step}, {0, 0.0f, Step}, {INT32_MAX, 0.0f, Step}});
    EXPECT_EQ(sync_search_key(&extremes.track, INT32_MIN), 0);
    EXPECT_EQ(sync_search_key(&extremes.track, -1), -2);
    EXPECT_EQ(sync_search_key(&extremes.track, INT32_MAX - 1), -3);
    EXPECT_EQ(sync_search_key(&extremes.track, INT32_MAX), 2);
}

TEST_F(TrackFiles, ExampleFileGivesItsTwoKeysAndIgnoresTrailingBytes)
{
    const std::string example("\x02\x00\x00\x00"
                              "\x00\x00\x00\x00\x00\x00\x80\x3f\x00"
                              "\x10\x00\x00\x00\x00\x00\x00\x3f\x01", 22);
    SyncTrack* track = open("example", example);
    ASSERT_NE(track, nullptr);
    ASSERT_EQ(track->keyCount, 2);
    EXPECT_EQ(track->keys[0].row, 0);
    EXPECT_EQ(track->keys[0].value, 1.0f);
    EXPECT_EQ(track->keys[0].interpolation, Step);
    EXPECT_EQ(track->keys[1].row, 16);
    EXPECT_EQ(track->keys[1].value, 0.5f);
    EXPECT_EQ(track->keys[1].interpolation, Linear);
    EXPECT_EQ(sync_sample_track(track, 8.0), 1.0f);

    SyncTrack* padded = open("padded", example + "more bytes");
    ASSERT_EQ(padded->keyCount, 2);
    EXPECT_EQ(std::memcmp(padded->keys, track->keys, 2 * sizeof(TrackKey)), 0);
}

TEST_F(TrackFiles, NamesAreExactFileNamesKeepTheirDots)
{
    SyncTrack* dotted = open("cam.dist.x", trackFileBytes({{0, 1.5f, Step}}));
    EXPECT_EQ(std::string(dotted->name), "cam.dist.x");
    ASSERT_EQ(dotted->keyCount, 1);
    EXPECT_EQ(dotted->keys[0].value, 1.5f);

    SyncTrack* lower = open("light", trackFileBytes({{0, 1.0f, Step}}));
    SyncTrack* upper = open("Light", trackFileBytes({{0, 2.0f, Step}}));
    EXPECT_NE(lower, upper);
    EXPECT_EQ(sync_sample_track(lower, 0.0), 1.0f);
    EXPECT_EQ(sync_sample_track(upper, 0.0), 2.0f);
    EXPECT_EQ(sync_find_track(&device->tracks, "light"), 1);
    EXPECT_EQ(sync_find_track(&device->tracks, "Light"), 2);
    EXPECT_EQ(sync_find_track(&device->tracks, "LIGHT"), -1);
    EXPECT_EQ(sync_find_track(&device->tracks, "ligh"), -1);

    EXPECT_STREQ(sync_track_file_path("sync", "cam.dist.x"), "sync_cam.dist.x.track");
}

TEST_F(TrackFiles, OpeningTwiceGivesOneHandleAndReadsOnce)
{
    SyncTrack* first = open("scene", trackFileBytes({{0, 2.7f, Step}}));
    writeTrack("scene", trackFileBytes({{0, 9.0f, Step}}));
    SyncTrack* second = sync_open_track(device, "scene");
    EXPECT_EQ(first, second);
    EXPECT_EQ(device->tracks.count, 1);
    EXPECT_EQ(sync_sample_track(second, 0.0), 2.7f);
}

TEST_F(TrackFiles, MissingEmptyAndZeroCountFilesGiveEmptyTracks)
{
    SyncTrack* missing = sync_open_track(device, "missing");
    SyncTrack* empty = open("empty", "");
    SyncTrack* zero = open("zero", trackFileBytes({}, 0));
    for (SyncTrack* track : {missing, empty, zero}) {
        ASSERT_NE(track, nullptr);
        EXPECT_EQ(track->keyCount, 0);
        EXPECT_EQ(track->keys, nullptr);
        EXPECT_EQ(sync_sample_track(track, 12.0), 0.0f);
    }
    SyncTrack untouched{};
    EXPECT_EQ(sync_read_track_file(&untouched, dir.file("nothing-here").c_str()), 1);
    EXPECT_EQ(sync_read_track_file(&untouched, dir.file("sync_zero.track").c_str()), 0);
}

TEST_F(TrackFiles, InvalidCodeBytesLoadSignExtended)
{
    std::string bytes = trackFileBytes({{0, 1.0f, 0}, {10, 2.0f, 0}, {20, 3.0f, 0}});
    bytes[12] = '\xff';
    bytes[21] = '\x04';
    bytes[30] = '\x80';
    SyncTrack* track = open("codes", bytes);
    ASSERT_EQ(track->keyCount, 3);
    EXPECT_EQ(track->keys[0].interpolation, -1);
    EXPECT_EQ(track->keys[1].interpolation, 4);
    EXPECT_EQ(track->keys[2].interpolation, -128);
    EXPECT_EQ(sync_sample_track(track, 5.0), 0.0f);
    EXPECT_EQ(sync_sample_track(track, 25.0), 3.0f);
}

TEST_F(TrackFiles, CountBeyondTheFileKeepsOnlyCompleteKeys)
{
    const std::string full = trackFileBytes({{0, 1.0f, Linear}, {10, 2.0f, Linear}, {20, 3.0f, Step}});
    // Cut inside the third key: two keys remain.
    SyncTrack* cut = open("cut", full.substr(0, full.size() - 4));
    ASSERT_EQ(cut->keyCount, 2);
    EXPECT_EQ(cut->keys[1].row, 10);
    EXPECT_EQ(sync_sample_track(cut, 15.0), 2.0f);

    for (size_t size : {1u, 2u, 3u}) {
        SyncTrack* tiny = open("tiny" + std::to_string(size), full.substr(0, size));
        EXPECT_EQ(tiny->keyCount, 0);
        EXPECT_EQ(tiny->keys, nullptr);
    }

    // A count of two billion with one key in the file: one key, no huge
    // allocation (AddressSanitizer would report one that large).
    SyncTrack* huge = open("huge", trackFileBytes({{4, 5.0f, Step}}, INT32_MAX));
    ASSERT_EQ(huge->keyCount, 1);
    EXPECT_EQ(huge->keys[0].value, 5.0f);
}

TEST_F(TrackFiles, NegativeCountGivesAnEmptyTrack)
{
    SyncTrack* track = open("negative", trackFileBytes({{0, 1.0f, Step}}, -1));
    EXPECT_EQ(track->keyCount, 0);
    EXPECT_EQ(track->keys, nullptr);
    EXPECT_EQ(sync_sample_track(track, 0.0), 0.0f);
}

TEST_F(TrackFiles, KeysStopAtTheFirstRowOutOfOrder)
{
    SyncTrack* track = open("order", trackFileBytes({{0, 1.0f, Linear}, {8, 2.0f, Linear}, {8, 3.0f, Step},
                                                 {20, 4.0f, Step}}));
    ASSERT_EQ(track->keyCount, 2);
    EXPECT_EQ(track->keys[1].row, 8);
    EXPECT_EQ(sync_sample_track(track, 30.0), 2.0f);

    SyncTrack* backwards = open("backwards", trackFileBytes({{5, 1.0f, Step}, {3, 2.0f, Step}}));
    EXPECT_EQ(backwards->keyCount, 1);
}

TEST_F(TrackFiles, OverlongFileNamesOpenNoFile)
{
    // 259 characters fit exactly; one more does not.
    const std::string fits(259 - 4 - 1 - 6, 'n');
    ASSERT_NE(sync_track_file_path("sync", fits.c_str()), nullptr);
    EXPECT_EQ(std::strlen(sync_track_file_path("sync", fits.c_str())), 259u);
    EXPECT_EQ(sync_track_file_path("sync", (fits + "x").c_str()), nullptr);
    EXPECT_EQ(sync_track_file_path(std::string(300, 'b').c_str(), "x"), nullptr);

    // The name cut to 259 characters would name another, existing file: it
    // must not be read.
    const std::string folder(100, 'f');
    const std::string base = folder + "/sync";
    const std::string name(149, 'n');
    const std::string full = base + "_" + name + ".track";
    ASSERT_GT(full.size(), 259u);
    ASSERT_EQ(mkdir(dir.file(folder).c_str(), 0755), 0);
    dir.write(full.substr(0, 259), trackFileBytes({{0, 7.0f, Step}}));

    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    SyncDevice* local = sync_open_device(base.c_str());
    SyncTrack* track = sync_open_track(local, name.c_str());
    ASSERT_EQ(chdir(previous), 0);
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->keyCount, 0);
    sync_close_device(local);
}

TEST(SyncDevice, NullDeviceIsSafe)
{
    EXPECT_EQ(sync_open_track(nullptr, "scene"), nullptr);
    sync_close_device(nullptr);
    EXPECT_EQ(sync_sample_track(sync_open_track(nullptr, "scene"), 4.0), 0.0f);
}

TEST(SyncDevice, TracksKeepTheirOrderAndIndices)
{
    SyncDevice* device = sync_open_device("no-such-folder/sync");
    ASSERT_NE(device, nullptr);
    EXPECT_STREQ(device->base, "no-such-folder/sync");
    const char* names[] = {"iGlobalTime", "scene", "close_blur", "far_blur"};
    std::vector<SyncTrack*> handles;
    for (const char* name : names) handles.push_back(sync_open_track(device, name));
    ASSERT_EQ(device->tracks.count, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(device->tracks.items[i], handles[static_cast<size_t>(i)]);
        EXPECT_EQ(sync_find_track(&device->tracks, names[i]), i);
    }
    EXPECT_EQ(sync_add_track(&device->tracks, "moveground"), 4);
    sync_close_device(device);
}

TEST(SyncDeathTest, AddingANameTwiceFailsTheAssertion)
{
    SyncTrackList list{nullptr, 0};
    ASSERT_EQ(sync_add_track(&list, "scene"), 0);
    EXPECT_DEATH(sync_add_track(&list, "scene"), "sync_find_track\\(d, name\\) < 0");
    free(list.items[0]->name);
    free(list.items[0]);
    free(list.items);
}
