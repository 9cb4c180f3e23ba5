// The six download speed steps the user cycles through.
// Thread-safety: any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qh::SpeedLimit {

inline constexpr int stepCount = 6;
// Bytes per second per step; 0 means unlimited.
inline constexpr std::array<int64_t, stepCount> steps = {0,       4194304, 2097152,
                                                         1048576, 524288,  262144};
const std::array<std::string, stepCount>& labels();

// The stored step (user default "downloadSpeedStep"); anything outside 0...5 reads as 0.
// Cheap enough for every received chunk: a value stored through store() is
// seen at once, a change made behind its back within a second.
int step();
// Stores `value` under "downloadSpeedStep" as it is.
void store(int value);

}  // namespace qh::SpeedLimit
