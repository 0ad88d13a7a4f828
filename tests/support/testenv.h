#pragma once
// What every test program does before its application object exists.

namespace testenv {

// The offscreen platform unless another is asked for, the locale of the stored windows
// (German) unless TM_TEST_LOCALE names another, and GoogleTest's own options taken from argv.
void prepare(int& argc, char** argv);

} // namespace testenv
