#pragma once
// The status codes of a refused command that change what follows; the others only name
// the refusal (their texts are string ids 127..141).

namespace wing {

// Serial number: an older firmware has none. The link goes on without it.
inline constexpr unsigned kStatusNotSupported = 5;
// Set clock: the logger did not take the time. It is written again.
inline constexpr unsigned kStatusClockRejected = 6;
// Status: the GPS board does not answer. The poll goes on; the logger links again when
// it is back.
inline constexpr unsigned kStatusBoardMissing = 8;

}  // namespace wing
