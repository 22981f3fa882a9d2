// live/core/resolution: the size the live player draws the frame at, chosen to
// hold the frame rate on any machine.
//
// A level is a scale of the whole chain against the window and a scale of
// the scene pass against the chain. The levels run from the window's full
// size down to a floor that still reads (180 lines, the scene pass at half
// of that): the scene pass gives way first, since it marches rays, then the
// whole chain, whose three passes and final pass alone outgrow a frame's
// time at a large window on a CPU renderer.
//
//     ResolutionControl control({}, 0.0f);    // both adaptive
//     control.setWindow(1280, 720);
//     ... each frame:
//     if (control.frameTook(seconds, now)) setFrameSize(... control.choice() ...);
//
// Pure logic, the time passed in, so that it is tested without a display.
#pragma once

#include <cstddef>
#include <vector>

struct FrameChoice {
    int width = 0; // the chain's size
    int height = 0;
    float sceneScale = 1.0f; // the scene pass's, against the chain
    bool operator==(const FrameChoice& other) const
    {
        return width == other.width && height == other.height && sceneScale == other.sceneScale;
    }
};

class ResolutionControl {
public:
    // The frame rate held: at least `floorFps`, aiming at `aimFps` (above
    // it, to leave room for frames that cost more than the last ones).
    static constexpr double floorFps = 15.0;
    static constexpr double aimFps = 20.0;

    // fixedWidth x fixedHeight fixes the chain's size (0 x 0: adaptive);
    // fixedScene the scene pass's scale (0: adaptive).
    ResolutionControl(int fixedWidth, int fixedHeight, float fixedScene);

    // Takes the window's size; the level stays, applied to the new size.
    void setWindow(int width, int height);

    // Takes a frame's duration in seconds, ending at `now` (seconds on a
    // monotonic clock). True when the choice changed.
    bool frameTook(double seconds, double now);

    FrameChoice choice() const;
    bool adaptive() const { return levels_.size() > 1; }
    // The most recent frames' typical duration; 0 before any.
    double typicalSeconds() const;

private:
    struct Level {
        float chain;
        float scene;
    };
    double cost(const Level& level) const;
    void moveTo(std::size_t level, double now);
    std::size_t lowestLevel() const;
    FrameChoice choiceAt(std::size_t level) const;

    int fixedWidth_, fixedHeight_;
    int windowWidth_ = 0, windowHeight_ = 0;
    std::vector<Level> levels_; // best first
    std::size_t level_ = 0;
    std::vector<double> recent_; // durations at this level, newest last
    double since_ = -1.0;        // when this level was taken
    double lastRise_ = -1.0;     // when the level last went up
    double riseWait_ = 1.5;      // seconds a level holds before trying the next up
};
