#pragma once

// True for the first byte of a two-byte (Shift_JIS) character. The ranges are
// fixed on purpose: a run must split text the same way whatever the system's
// code page, so both line readers treat the byte after a lead byte as part of
// the same character and never as a delimiter, quote or backslash.
constexpr int is_lead_byte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
