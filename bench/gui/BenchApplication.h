#pragma once
// The one application of the visual layer's benchmarks, on Qt's offscreen platform unless the
// environment names another.

void EnsureBenchApplication();
