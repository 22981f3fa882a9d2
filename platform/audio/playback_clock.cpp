#include "platform/audio/playback_clock.h"

#include <algorithm>
#include <cassert>

PlaybackClock::PlaybackClock(uint32_t rate, uint64_t length, bool bounded)
    : rate_(rate), length_(length), bounded_(bounded)
{
    assert(rate > 0);
}

uint64_t PlaybackClock::interpolate(int64_t now) const
{
    if (!playing_) {
        return anchorFrame_;
    }
    const int64_t elapsed = std::max<int64_t>(0, now - anchorTime_);
    const uint64_t advanced = static_cast<uint64_t>(static_cast<double>(elapsed) * rate_ / 1e9);
    uint64_t frame = anchorFrame_ + advanced;
    if (bounded_) {
        frame = std::min(frame, std::max(handedEnd_, anchorFrame_));
    }
    return std::min(frame, length_);
}

uint64_t PlaybackClock::position(int64_t now)
{
    const uint64_t frame = interpolate(now);
    if (playing_ && frame >= length_) {
        playing_ = false;
        anchorFrame_ = length_;
        anchorTime_ = now;
        feed_ = length_;
    }
    return frame;
}

void PlaybackClock::play(int64_t now)
{
    if (playing_ || anchorFrame_ >= length_) {
        return;
    }
    playing_ = true;
    anchorTime_ = now;
    feed_ = anchorFrame_;
    handedEnd_ = anchorFrame_;
}

void PlaybackClock::pause(int64_t now)
{
    if (!playing_) {
        return;
    }
    anchorFrame_ = interpolate(now);
    anchorTime_ = now;
    playing_ = false;
    // Audio handed but not yet heard is dropped: resuming starts from what
    // was heard last.
    feed_ = anchorFrame_;
}

bool PlaybackClock::seek(int64_t now, uint64_t frame)
{
    if (frame > length_) {
        return false;
    }
    anchorFrame_ = frame;
    anchorTime_ = now;
    feed_ = frame;
    handedEnd_ = frame;
    if (frame >= length_) {
        playing_ = false;
    }
    return true;
}

void PlaybackClock::handed(int64_t now, uint64_t count, uint64_t queued)
{
    if (!playing_) {
        return;
    }
    const uint64_t current = interpolate(now); // bounded by what was handed before
    const uint64_t start = feed_;
    feed_ = std::min(length_, feed_ + count);
    handedEnd_ = feed_;
    // The new buffer plays once the device's queue has drained: what is
    // heard now is `queued` frames before it. Re-anchor on that estimate, but
    // only forward, so the position never steps back; when the clock ran
    // ahead it simply waits at handedEnd_ for the audio to catch up.
    const uint64_t heard = start > queued ? start - queued : 0;
    anchorFrame_ = std::max(current, std::min(heard, handedEnd_));
    anchorTime_ = now;
}
