#pragma once

// The frames the module host and its parent exchange over pipes. A frame is
// one type byte, its payload's length in four bytes, least significant
// first, and the payload, which may hold any bytes. Portable: the same
// program writes and reads both ends.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Letters, so that a dump of a pipe reads. Lower case go to the host, upper
// case come back.
enum class FrameType : unsigned char {
  // bind every module of saori.ini, or only those the payload names;
  // answered by kBound
  kBind = 'b',
  // the same without the binding lines, and with the contract warnings
  // told by their frames alone: a host of many alike
  kBindQuietly = 'c',
  kRequest = 'r',  // module name, NUL, request bytes; answered by kReply or kRefused
  kMemory = 'm',   // answered by kMemoryInUse
  kUnload = 'u',   // unload and release every module; answered by kDone
  kQuit = 'q',     // answered by kDone, then the host ends
  // The validator's orders (check_frames.h).
  kPaddedRequest = 'p',  // answered by kReply or kRefused
  kFuzz = 'z',           // answered by kFuzzed or kRefused
  kRepeat = 'l',         // answered by kRepeated or kRefused
  kRelease = 'e',        // unload, release, wait; answered by kDone
  // the guarded heap for modules bound from now on, for one request in the
  // payload's number (decimal digits; 0 none); answered by kDone
  kGuard = 'g',
  kBound = 'B',
  kReply = 'R',
  kRefused = 'X',
  kMemoryInUse = 'M',
  kDone = 'D',
  kFuzzed = 'Z',
  kRepeated = 'L',
  // Sent before the answer they belong to: a contract warning about the
  // module (its text after "modtest: module NAME (PATH) "), and, when a
  // fault ends the host, what the fault was and where (check_frames.h) and
  // the request that was in the module's hands.
  kWarning = 'W',
  kFaultPlace = 'P',
  kRequestAtFault = 'F',
  // Sent by a fuzz loop as it goes, before its answer: a request that
  // reached new coverage (check_frames.h).
  kCorpusEntry = 'K',
  // Sent once by a fuzz loop of a module with coverage, after it sent the
  // seeds: the edges they reached (check_frames.h).
  kCoverage = 'E',
};

struct Frame {
  FrameType type;
  std::string payload;
};

// The header's size, and the largest payload either side accepts: a longer
// length means the stream is not frames.
constexpr std::size_t kFrameHeaderSize = 5;
constexpr std::size_t kMaxFramePayload = std::size_t{1} << 30;

// Appends one frame to `out`.
void append_frame(std::string& out, FrameType type, std::string_view payload);
std::string encode_frame(FrameType type, std::string_view payload);

// Takes bytes as they arrive, in pieces of any size, and yields whole
// frames in order.
class FrameDecoder {
 public:
  void feed(const char* bytes, std::size_t length);
  // Moves the next whole frame into `frame`; false when none is complete
  // yet, or when the stream is broken.
  bool next(Frame& frame);
  // A header gave a length over kMaxFramePayload: nothing more is yielded.
  bool broken() const { return broken_; }
  // Bytes fed but not yet yielded as a frame.
  std::size_t pending() const { return buffer_.size() - start_; }

 private:
  std::string buffer_;
  std::size_t start_ = 0;
  bool broken_ = false;
};

// Why a request got no reply.
enum class Refusal : unsigned char {
  kNoList = 'l',          // no module list is bound: none was asked for, or saori.ini did not open
  kNoSuchModule = 'n',    // saori.ini lists no module of the name
  kNotBound = 'b',        // its library did not load, or its load did not return 1
  kNoRequestEntry = 'e',  // the module exports no request
  kNoBlock = 'k',         // no memory block could be made for the request
  kNotARequest = 'f',     // the frame was no request the host understands
};
// One line for the user, no line feed.
const char* refusal_text(Refusal refusal);

// A module of the list and whether it bound.
struct BoundModule {
  std::string name;
  bool bound;
  bool operator==(const BoundModule& other) const {
    return name == other.name && bound == other.bound;
  }
};

// The payloads. Each decoder returns false for a payload that is not of its
// kind; its outputs then hold nothing of use.
std::string request_payload(std::string_view module, std::string_view request);
bool decode_request(std::string_view payload, std::string& module, std::string_view& request);
// Each module as '1' or '0', its name and a NUL.
std::string bound_payload(const std::vector<BoundModule>& modules);
bool decode_bound(std::string_view payload, std::vector<BoundModule>& modules);
std::string refused_payload(Refusal refusal);
bool decode_refused(std::string_view payload, Refusal& refusal);
// Resident bytes now and at the peak, eight bytes each, least significant first.
std::string memory_payload(std::uint64_t resident, std::uint64_t peak);
bool decode_memory(std::string_view payload, std::uint64_t& resident, std::uint64_t& peak);
