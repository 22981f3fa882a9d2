#include "resolution.h"

#include <algorithm>
#include <cassert>

namespace {

const float chainScales[] = {1.0f, 0.85f, 0.7f, 0.6f, 0.5f, 0.42f, 0.35f, 0.3f, 0.25f};
const float sceneScales[] = {1.0f, 0.85f, 0.7f, 0.6f, 0.5f};
constexpr int floorLines = 180;
constexpr size_t measured = 5; // frames a level's figure is the median of

} // namespace

ResolutionControl::ResolutionControl(int fixedWidth, int fixedHeight, float fixedScene)
    : fixedWidth_(fixedWidth), fixedHeight_(fixedHeight)
{
    const bool fixedChain = fixedWidth > 0 && fixedHeight > 0;
    if (fixedScene > 0.0f) {
        for (float chain : chainScales) {
            levels_.push_back({chain, fixedScene});
            if (fixedChain) break;
        }
        return;
    }
    for (float scene : sceneScales) levels_.push_back({1.0f, scene});
    if (fixedChain) return;
    for (float chain : chainScales) {
        if (chain < 1.0f) levels_.push_back({chain, sceneScales[std::size(sceneScales) - 1]});
    }
}

void ResolutionControl::setWindow(int width, int height)
{
    assert(width > 0 && height > 0);
    windowWidth_ = width;
    windowHeight_ = height;
    recent_.clear();
}

double ResolutionControl::cost(const Level& level) const
{
    // Pixels drawn: the scene pass's, and the three passes and the final
    // pass at the chain's size, each weighed alike.
    return level.chain * level.chain * (level.scene * level.scene + 1.0);
}

FrameChoice ResolutionControl::choice() const
{
    return choiceAt(level_);
}

FrameChoice ResolutionControl::choiceAt(size_t index) const
{
    const Level& level = levels_[index];
    if (fixedWidth_ > 0) return {fixedWidth_, fixedHeight_, level.scene};
    // No lower than the floor's lines, nor than the window itself.
    const double lowest = std::min(1.0, static_cast<double>(floorLines) / std::max(windowHeight_, 1));
    const double chain = std::max(static_cast<double>(level.chain), lowest);
    return {std::max(1, static_cast<int>(windowWidth_ * chain + 0.5)),
            std::max(1, static_cast<int>(windowHeight_ * chain + 0.5)), level.scene};
}

size_t ResolutionControl::lowestLevel() const
{
    // Levels that the floor (or a fixed size) makes draw alike end the ladder.
    size_t lowest = 0;
    for (size_t level = 1; level < levels_.size(); ++level) {
        if (!(choiceAt(level) == choiceAt(level - 1))) lowest = level;
    }
    return lowest;
}

double ResolutionControl::typicalSeconds() const
{
    if (recent_.empty()) return 0.0;
    std::vector<double> sorted = recent_;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2), sorted.end());
    return sorted[sorted.size() / 2];
}

void ResolutionControl::moveTo(size_t level, double now)
{
    if (level < level_) lastRise_ = now;
    level_ = level;
    since_ = now;
    recent_.clear();
}

bool ResolutionControl::frameTook(double seconds, double now)
{
    if (since_ < 0.0) since_ = now;
    if (!adaptive()) return false;
    recent_.push_back(seconds);
    if (recent_.size() > measured) recent_.erase(recent_.begin());
    // A median of three: one slow frame (a shader compiled on first use, a
    // save taken) moves nothing.
    if (recent_.size() < 3) return false;
    const FrameChoice before = choice();
    const double typical = typicalSeconds();
    const double now_cost = cost(levels_[level_]);
    const size_t lowest = lowestLevel();
    if (typical > 1.0 / (floorFps + 2.0) && level_ < lowest) {
        // Down at once to the best level expected to fit the aim.
        size_t next = level_ + 1;
        while (next < lowest && typical * cost(levels_[next]) / now_cost > 1.0 / aimFps) ++next;
        // A rise that did not hold makes the next one wait longer.
        if (since_ == lastRise_ && now - since_ < 3.0) riseWait_ = std::min(riseWait_ * 2.0, 24.0);
        moveTo(next, now);
        return !(choice() == before);
    }
    // A rise that held: the next may come as soon as the first.
    if (since_ == lastRise_ && now - since_ >= 3.0) riseWait_ = 1.5;
    if (level_ > 0 && now - since_ >= riseWait_ && recent_.size() == measured &&
        typical * cost(levels_[level_ - 1]) / now_cost <= 1.0 / aimFps) {
        moveTo(level_ - 1, now);
        return !(choice() == before);
    }
    return false;
}
