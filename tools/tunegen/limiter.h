// tunegen/limiter: the last stage of the master: the gain to the song's
// loudness, with every true peak held under a ceiling by a look-ahead
// limiter. Its calls, limit() and limitAt(), are declared with the rest of
// the master bus in master.h.
#pragma once

#include "master.h"
