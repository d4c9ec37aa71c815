// The packed binary trace notations "3", "4" and "B" and their escaping.
//
// A radius record in a packed notation holds bytes, not text: each char of the
// std::string is one byte (0 to 255). Bytes that would end a record in a file
// are escaped: ESC (27) followed by the byte with its top bit flipped.
//
// The decoders here are pure: they turn the bytes of one record value into
// radii (hundredths of a millimetre, in record order) and know nothing of
// radii lists. tradiilist::addOMAradii gives each radius its angle and adds it
// to a list; tradiilist::makebinaryradiilist writes notation "3".
//
// Every decoder reads only inside the given bytes (missing bytes read as 0)
// and allocates no more than the data can yield, whatever a record claims.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

inline constexpr unsigned char kPackedEscape = 27;

// Whether the writer escapes byte b: the bytes that end a record (6, 10, 13,
// 17, 19, 21, 26, 28, 29, 30) and ESC itself.
bool isescapedbyte(unsigned char b);

// Removes the escaping: ESC is dropped and the byte after it loses its top
// bit (byte AND 127); that byte is not inspected again. A final ESC is
// simply dropped.
std::string unpackstr(std::string_view s);

// Appends byte b to out, escaped when isescapedbyte(b): ESC, then b XOR 128.
void writebyte(std::string& out, unsigned char b);

// Notation "3" (delta): a 16-bit little-endian start radius, then one signed
// byte per point as a step from the previous radius; the byte 0x80 announces
// an absolute 16-bit little-endian radius instead. Radii wrap at 16 bits.
// The start radius is always produced; further radii only while fewer than
// `room` radii have been produced in all. Expects unescaped bytes.
std::vector<std::int32_t> decodetrc3(std::string_view bytes, std::int64_t room);

// Notation "B" (offset): the decimal start radius before the first ",", then
// one byte per point, the step being byte - 127. Without a "," the start
// radius is 0 and every byte is a step. The start radius is always produced;
// further radii only while fewer than `room` have been produced in all.
// Expects unescaped bytes.
std::vector<std::int32_t> decodetrcb(std::string_view bytes, std::int64_t room);

// Notation "4" (variable width): a stream of 16-bit words, bytes and 4-bit
// nibbles, with switches between absolute, incremental and differential
// values. A value starts in the last byte only while fewer than `room`
// radii have been produced (room: the points the trace is still short of
// its declared count) and only when it needs no further byte: a nibble, or
// a byte on a byte boundary. A record is decoded whole, however long,
// unless `limit` radii come first: decoding stops there. The radii it
// yields are bounded by its bytes. Expects unescaped bytes.
std::vector<std::int32_t> converttrcfmt4(std::string_view bytes, std::int64_t room = 0,
                                         std::size_t limit = static_cast<std::size_t>(-1));

}  // namespace kestrune
