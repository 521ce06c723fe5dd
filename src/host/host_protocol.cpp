#include "host/host_protocol.h"

namespace {

void append_little_endian(std::string& out, std::uint64_t value, int bytes) {
  for (int index = 0; index < bytes; ++index) {
    out.push_back(static_cast<char>((value >> (8 * index)) & 0xFF));
  }
}

std::uint64_t read_little_endian(const char* bytes, int count) {
  std::uint64_t value = 0;
  for (int index = count - 1; index >= 0; --index) {
    value = (value << 8) | static_cast<unsigned char>(bytes[index]);
  }
  return value;
}

bool is_refusal(unsigned char byte) {
  switch (static_cast<Refusal>(byte)) {
    case Refusal::kNoList:
    case Refusal::kNoSuchModule:
    case Refusal::kNotBound:
    case Refusal::kNoRequestEntry:
    case Refusal::kNoBlock:
    case Refusal::kNotARequest:
      return true;
  }
  return false;
}

}  // namespace

void append_frame(std::string& out, FrameType type, std::string_view payload) {
  out.push_back(static_cast<char>(type));
  append_little_endian(out, payload.size(), 4);
  out.append(payload);
}

std::string encode_frame(FrameType type, std::string_view payload) {
  std::string out;
  out.reserve(kFrameHeaderSize + payload.size());
  append_frame(out, type, payload);
  return out;
}

void FrameDecoder::feed(const char* bytes, std::size_t length) {
  // What was yielded is dropped only once it is most of the buffer, so that
  // feeding a byte at a time stays linear.
  if (start_ > 0 && start_ >= buffer_.size() / 2) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  buffer_.append(bytes, length);
}

bool FrameDecoder::next(Frame& frame) {
  if (broken_ || pending() < kFrameHeaderSize) return false;
  const char* header = buffer_.data() + start_;
  std::uint64_t length = read_little_endian(header + 1, 4);
  if (length > kMaxFramePayload) {
    broken_ = true;
    return false;
  }
  if (pending() - kFrameHeaderSize < length) return false;
  frame.type = static_cast<FrameType>(static_cast<unsigned char>(header[0]));
  frame.payload.assign(header + kFrameHeaderSize, static_cast<std::size_t>(length));
  start_ += kFrameHeaderSize + static_cast<std::size_t>(length);
  return true;
}

const char* refusal_text(Refusal refusal) {
  switch (refusal) {
    case Refusal::kNoList:
      return "no module list is bound: saori.ini did not open, or no bind came first";
    case Refusal::kNoSuchModule:
      return "saori.ini lists no module of this name";
    case Refusal::kNotBound:
      return "the module is not bound: its library did not load, or its load did not return 1";
    case Refusal::kNoRequestEntry:
      return "the module exports no request";
    case Refusal::kNoBlock:
      return "no memory block could be made for the request";
    case Refusal::kNotARequest:
      return "the host understands no such message";
  }
  return "the request was refused";
}

std::string request_payload(std::string_view module, std::string_view request) {
  std::string out;
  out.reserve(module.size() + 1 + request.size());
  out.append(module);
  out.push_back('\0');
  out.append(request);
  return out;
}

bool decode_request(std::string_view payload, std::string& module, std::string_view& request) {
  std::size_t nul = payload.find('\0');
  if (nul == std::string_view::npos) return false;
  module.assign(payload.substr(0, nul));
  request = payload.substr(nul + 1);
  return true;
}

std::string bound_payload(const std::vector<BoundModule>& modules) {
  std::string out;
  for (const BoundModule& module : modules) {
    out.push_back(module.bound ? '1' : '0');
    out.append(module.name);
    out.push_back('\0');
  }
  return out;
}

bool decode_bound(std::string_view payload, std::vector<BoundModule>& modules) {
  modules.clear();
  while (!payload.empty()) {
    std::size_t nul = payload.find('\0');
    if ((payload[0] != '0' && payload[0] != '1') || nul == std::string_view::npos) return false;
    modules.push_back({std::string(payload.substr(1, nul - 1)), payload[0] == '1'});
    payload.remove_prefix(nul + 1);
  }
  return true;
}

std::string refused_payload(Refusal refusal) {
  return std::string(1, static_cast<char>(refusal));
}

bool decode_refused(std::string_view payload, Refusal& refusal) {
  if (payload.size() != 1 || !is_refusal(static_cast<unsigned char>(payload[0]))) return false;
  refusal = static_cast<Refusal>(static_cast<unsigned char>(payload[0]));
  return true;
}

std::string memory_payload(std::uint64_t resident, std::uint64_t peak) {
  std::string out;
  append_little_endian(out, resident, 8);
  append_little_endian(out, peak, 8);
  return out;
}

bool decode_memory(std::string_view payload, std::uint64_t& resident, std::uint64_t& peak) {
  if (payload.size() != 16) return false;
  resident = read_little_endian(payload.data(), 8);
  peak = read_little_endian(payload.data() + 8, 8);
  return true;
}
