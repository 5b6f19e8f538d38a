// Where a test or benchmark executable finds its data files: the source folder that defines the
// executable, and the build folder it is built in (set by tess_tests and tess_bench).
#pragma once

const char* TestFixtureDir();
const char* TestBinaryDir();
