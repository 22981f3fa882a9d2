// demo/timeline: the demo's grid in time, the one place its numbers live.
//
// The demo folder owns the demo's time: the music clock (clock.h), the keys
// (keys.h), this grid and the 31 parameter tracks (tracks.h).
//
// The music runs at 122 beats a minute; a beat has 4 rows and a bar 4 beats,
// all counted from 0. The row is the demo's unit of time: the tracks are
// keyed in rows and every frame is drawn at one. Header only, so that the
// track tool and the capture tool share it without linking the demo.
#pragma once

constexpr int beatsPerMinute = 122;
constexpr int rowsPerBeat = 4;
constexpr int beatsPerBar = 4;
constexpr int rowsPerBar = rowsPerBeat * beatsPerBar;

// Rows a second: 488 / 60 = 8.1333...
constexpr double rowRate = beatsPerMinute * rowsPerBeat / 60.0;

// The run ends on the first frame whose row is past this one (about 141.09 s).
constexpr double endRow = 1147.5;

static_assert(rowRate == 488.0 / 60.0, "the grid's row rate is the double nearest 488 / 60");
