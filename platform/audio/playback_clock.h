// platform/audio/playback_clock: where a stream is heard, in sample frames.
//
// Pure logic with the time passed in, so that it is tested without sleeping.
// The output reports each buffer it hands to the device (handed()); between
// reports the position runs on with the clock, never past what was handed
// (so never ahead of the audio) and never backwards except by a seek. With
// no output (silent mode) nothing is handed and the clock alone drives it.
#pragma once

#include <cstdint>

class PlaybackClock {
public:
    // `rate`: frames a second; `length`: frames in the stream; `bounded`:
    // whether an output hands buffers (false: silent mode).
    PlaybackClock(uint32_t rate, uint64_t length, bool bounded);

    uint64_t length() const { return length_; }
    bool playing() const { return playing_; }

    // Where playback is heard at `now` (nanoseconds on a monotonic clock).
    // Reaching the end stops playback there.
    uint64_t position(int64_t now);

    void play(int64_t now);
    void pause(int64_t now);
    // Returns false, changing nothing, for a frame beyond the length.
    bool seek(int64_t now, uint64_t frame);

    // The output's side: the next frame to hand over, and the report of
    // `count` frames handed at `now`, of which `queued` frames (the device's
    // buffer) play before them.
    uint64_t feedCursor() const { return feed_; }
    void handed(int64_t now, uint64_t count, uint64_t queued);

private:
    uint64_t interpolate(int64_t now) const;

    uint32_t rate_;
    uint64_t length_;
    bool bounded_;
    bool playing_ = false;
    uint64_t anchorFrame_ = 0; // heard at anchorTime_
    int64_t anchorTime_ = 0;
    uint64_t feed_ = 0;        // next frame the output will take
    uint64_t handedEnd_ = 0;   // end of what was handed since the last play or seek
};
