// The instrument's wire encoding: commands and markers, payload bytes as two nibble characters (low
// nibble first), 16- and 32-bit values low part first, and the frame checksum.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace darni::link::wire {

inline constexpr char kRequestDeviceInfo = 'V';
inline constexpr char kRequestMemory = 'N';
inline constexpr char kFrameStart = 'S';
inline constexpr char kFrameEnd = 'P';
inline constexpr char kRestart = 'Z';
// Payload characters are '0'..'?': the nibble plus this.
inline constexpr char kNibbleBase = '0';
inline constexpr char kHighestNibbleChar = '?';

inline constexpr std::size_t kCharsPerByte = 2;
inline constexpr std::size_t kCharsPerWord = 4;
inline constexpr std::size_t kCharsPerLong = 8;
// The checksum's eight characters stand right before the end marker.
inline constexpr std::size_t kChecksumChars = kCharsPerLong;

// Values starting at a character index of a received stream. The caller makes sure the characters
// are there.
std::uint8_t readByte(const char* chars);
std::uint16_t readWord(const char* chars);
std::uint32_t readLong(const char* chars);

// Sum over payload characters numbered from 1 (the character after 'S'): each contributes its code
// XOR (its number modulo 65 536) as a 16-bit value; the sum wraps at 2^32.
std::uint32_t checksum(const char* payload, std::size_t count);

// The frame between 'S' at index s and 'P' at index p of a stream passes its checksum. A frame with
// 'P' before 'S', or with fewer than nine characters between them, does not.
bool frameChecksumOk(const char* stream, std::ptrdiff_t s, std::ptrdiff_t p);
// Decodes every whole character pair between 'S' at index s and 'P' at index p (the checksum's bytes
// included) into `out`, checking the frame's checksum in the same pass over the characters; the number
// of bytes written, or nothing when the frame does not pass (and `out` holds no meaning).
std::optional<std::size_t> decodeFrame(const char* stream, std::ptrdiff_t s, std::ptrdiff_t p, std::uint8_t* out);

// The instrument's side, for the simulator and for tests.
void appendByte(QByteArray& out, std::uint8_t value);
QByteArray encodePayload(std::span<const std::uint8_t> bytes);
void appendLong(QByteArray& out, std::uint32_t value);
// 'S', the payload characters, their checksum, 'P'.
QByteArray frame(const QByteArray& payloadChars);

} // namespace darni::link::wire
