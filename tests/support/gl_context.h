// A GL 4.3 core context for in-process GL tests: one hidden freeglut window,
// made once per test process and kept current on the main thread.
#pragma once

// Creates the context on first use (with GLEW loaded); later calls do nothing.
void ensureGlContext();
