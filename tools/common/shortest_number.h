#pragma once

// Numbers as the shortest text that reads back exactly, laid out as std::to_chars
// lays it out: plain digits or scientific notation ("1e-07"), whichever is
// shorter, plain on a tie. The same text as std::to_chars(first, last, value), at
// about half its cost: a stream of readings writes several numbers per reading.

namespace kxtools {

// Writes finite `value` at `at`, which has room for 32 characters; returns the end.
char* writeShortestNumber(double value, char* at);

} // namespace kxtools
