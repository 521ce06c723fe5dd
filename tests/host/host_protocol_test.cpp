#include "host/host_protocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// Streams of whole frames, each fed split in two at every byte boundary:
// the decoder yields the same frames whatever the pieces.
const std::vector<std::vector<Frame>> kStreams = {
    {{FrameType::kBind, ""}},
    {{FrameType::kRequest, "echo\0hello"s}, {FrameType::kQuit, ""}},
    {{FrameType::kReply, "\0\xff\x05\0\0\0\r\n\x1a"s}},
    {{FrameType::kReply, std::string(300, 'x')}, {FrameType::kDone, ""}, {FrameType::kBound, "1a"}},
};

std::vector<Frame> decode_in_two(const std::string& bytes, std::size_t split) {
  FrameDecoder decoder;
  std::vector<Frame> frames;
  Frame frame;
  decoder.feed(bytes.data(), split);
  while (decoder.next(frame)) frames.push_back(frame);
  decoder.feed(bytes.data() + split, bytes.size() - split);
  while (decoder.next(frame)) frames.push_back(frame);
  EXPECT_EQ(decoder.pending(), 0u);
  return frames;
}

TEST(FrameDecoder, YieldsTheSameFramesAtEverySplit) {
  for (const std::vector<Frame>& stream : kStreams) {
    std::string bytes;
    for (const Frame& frame : stream) append_frame(bytes, frame.type, frame.payload);
    for (std::size_t split = 0; split <= bytes.size(); ++split) {
      std::vector<Frame> frames = decode_in_two(bytes, split);
      ASSERT_EQ(frames.size(), stream.size()) << "split at " << split;
      for (std::size_t index = 0; index < frames.size(); ++index) {
        EXPECT_EQ(frames[index].type, stream[index].type) << "split at " << split;
        EXPECT_EQ(frames[index].payload, stream[index].payload) << "split at " << split;
      }
    }
  }
}

TEST(FrameDecoder, HeaderIsTypeAndLittleEndianLength) {
  EXPECT_EQ(encode_frame(FrameType::kReply, std::string(0x010203, 'z')).substr(0, 5),
            "R\x03\x02\x01\0"s);
  FrameDecoder decoder;
  Frame frame;
  decoder.feed("R\x01\0\0\x40x", 6);  // 2^30 + 1 bytes: over the limit
  EXPECT_FALSE(decoder.next(frame));
  EXPECT_TRUE(decoder.broken());
}

TEST(FramePayloads, RoundTripAndRefuseWhatIsNotTheirs) {
  std::string module;
  std::string_view request;
  const std::string payload = request_payload("echo", "a\0b"s);
  ASSERT_TRUE(decode_request(payload, module, request));
  EXPECT_EQ(module, "echo");
  EXPECT_EQ(request, "a\0b"s);
  EXPECT_FALSE(decode_request("no separator", module, request));

  const std::vector<BoundModule> modules = {{"echo", true}, {"", false}, {"w", true}};
  std::vector<BoundModule> decoded;
  EXPECT_EQ(bound_payload(modules),
            "1echo\0"
            "0\0"
            "1w\0"s);
  ASSERT_TRUE(decode_bound(bound_payload(modules), decoded));
  EXPECT_EQ(decoded, modules);
  for (const char* bad : {"2x", "1unterminated"}) EXPECT_FALSE(decode_bound(bad, decoded)) << bad;

  Refusal refusal = Refusal::kNoList;
  ASSERT_TRUE(decode_refused(refused_payload(Refusal::kNoSuchModule), refusal));
  EXPECT_EQ(refusal, Refusal::kNoSuchModule);
  for (const char* bad : {"", "z", "nn"}) EXPECT_FALSE(decode_refused(bad, refusal)) << bad;

  std::uint64_t resident = 0;
  std::uint64_t peak = 0;
  ASSERT_TRUE(decode_memory(memory_payload(0x0102030405060708u, 9), resident, peak));
  EXPECT_EQ(resident, 0x0102030405060708u);
  EXPECT_EQ(peak, 9u);
  EXPECT_FALSE(decode_memory("short", resident, peak));
}

}  // namespace
