// The values of a list's speedLimit besides a limit of N KB/s (1 KB = 1024 bytes, as file sizes
// are counted). Zero is the stepped pace, so that a list record nobody set keeps it. Platform-free.
#pragma once
#include <cstdint>

constexpr int32_t kPaceStepped = 0;  // a pause of 10 ms after each chunk of buffSize bytes
constexpr int32_t kPaceFree = -1;    // as fast as the line allows
constexpr int32_t kMaxSpeedLimit = 1000000;
