#pragma once
// The frame both sides of the line agree on: 'Q', two characters of pump number, a letter,
// a four-character value, 'Y'. Nine ASCII characters, no terminator.

namespace wire {

inline constexpr int frameLength = 9;
inline constexpr char frameStart = 'Q';
inline constexpr char frameEnd = 'Y';

} // namespace wire
