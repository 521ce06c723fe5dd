#include "host/check_frames.h"

namespace {

class PayloadWriter {
 public:
  PayloadWriter& number(std::uint64_t value) {
    for (int index = 0; index < 8; ++index) out_.push_back(static_cast<char>(value >> (8 * index)));
    return *this;
  }
  PayloadWriter& bytes(std::string_view text) {
    for (int index = 0; index < 4; ++index) {
      out_.push_back(static_cast<char>(static_cast<std::uint64_t>(text.size()) >> (8 * index)));
    }
    out_.append(text);
    return *this;
  }
  std::string take() { return std::move(out_); }

 private:
  std::string out_;
};

// Reads fields in order; once one does not fit, every later one fails too.
class PayloadReader {
 public:
  explicit PayloadReader(std::string_view payload) : rest_(payload) {}
  bool number(std::uint64_t& value) { return fixed(8, value); }
  bool bytes(std::string& text) {
    std::uint64_t length = 0;
    if (!fixed(4, length) || length > rest_.size()) return ok_ = false;
    text.assign(rest_.substr(0, static_cast<std::size_t>(length)));
    rest_.remove_prefix(static_cast<std::size_t>(length));
    return true;
  }
  // Every field read and nothing left over.
  bool whole() const { return ok_ && rest_.empty(); }

 private:
  bool fixed(int count, std::uint64_t& value) {
    if (!ok_ || rest_.size() < static_cast<std::size_t>(count)) return ok_ = false;
    value = 0;
    for (int index = count - 1; index >= 0; --index) {
      value = (value << 8) | static_cast<unsigned char>(rest_[static_cast<std::size_t>(index)]);
    }
    rest_.remove_prefix(static_cast<std::size_t>(count));
    return true;
  }

  std::string_view rest_;
  bool ok_ = true;
};

}  // namespace

std::string encode(const PaddedRequestOrder& order) {
  return PayloadWriter()
      .bytes(order.module)
      .bytes(order.request)
      .number(static_cast<unsigned char>(order.fill))
      .number(order.padding)
      .take();
}

bool decode(std::string_view payload, PaddedRequestOrder& order) {
  PayloadReader reader(payload);
  std::uint64_t fill = 0;
  bool fields = reader.bytes(order.module) && reader.bytes(order.request) && reader.number(fill) &&
                reader.number(order.padding);
  order.fill = static_cast<char>(fill);
  return fields && reader.whole() && fill < 256;
}

std::string encode(const FuzzOrder& order) {
  PayloadWriter writer;
  writer.bytes(order.module)
      .number(order.seed)
      .number(order.milliseconds)
      .number(order.most_requests)
      .number(order.max_length);
  for (const std::vector<std::string>* list : {&order.seeds, &order.words, &order.avoid}) {
    writer.number(list->size());
    for (const std::string& item : *list) writer.bytes(item);
  }
  return writer.take();
}

bool decode(std::string_view payload, FuzzOrder& order) {
  PayloadReader reader(payload);
  if (!(reader.bytes(order.module) && reader.number(order.seed) &&
        reader.number(order.milliseconds) && reader.number(order.most_requests) &&
        reader.number(order.max_length))) {
    return false;
  }
  for (std::vector<std::string>* list : {&order.seeds, &order.words, &order.avoid}) {
    std::uint64_t count = 0;
    // Each item takes at least its length's four bytes.
    if (!reader.number(count) || count > payload.size() / 4) return false;
    list->assign(static_cast<std::size_t>(count), std::string());
    for (std::string& item : *list) reader.bytes(item);
  }
  return reader.whole();
}

std::string encode(const FuzzResult& result) {
  return PayloadWriter()
      .number(result.requests)
      .number(result.milliseconds)
      .number(result.warned ? 1 : 0)
      .bytes(result.warned_request)
      .number(result.coverage ? 1 : 0)
      .number(result.edges)
      .take();
}

bool decode(std::string_view payload, FuzzResult& result) {
  PayloadReader reader(payload);
  std::uint64_t warned = 0;
  std::uint64_t coverage = 0;
  bool fields = reader.number(result.requests) && reader.number(result.milliseconds) &&
                reader.number(warned) && reader.bytes(result.warned_request) &&
                reader.number(coverage) && reader.number(result.edges);
  result.warned = warned != 0;
  result.coverage = coverage != 0;
  return fields && reader.whole() && warned < 2 && coverage < 2;
}

std::string encode(const CorpusEntry& entry) {
  return PayloadWriter().number(entry.edges).bytes(entry.request).take();
}

bool decode(std::string_view payload, CorpusEntry& entry) {
  PayloadReader reader(payload);
  return reader.number(entry.edges) && reader.bytes(entry.request) && reader.whole();
}

std::string encode(const CoverageNote& note) {
  return PayloadWriter().number(note.edges).take();
}

bool decode(std::string_view payload, CoverageNote& note) {
  PayloadReader reader(payload);
  return reader.number(note.edges) && reader.whole();
}

std::string encode(const RepeatOrder& order) {
  return PayloadWriter()
      .bytes(order.module)
      .bytes(order.request)
      .number(order.count)
      .number(order.milliseconds)
      .number(order.warm_up)
      .take();
}

bool decode(std::string_view payload, RepeatOrder& order) {
  PayloadReader reader(payload);
  bool fields = reader.bytes(order.module) && reader.bytes(order.request) &&
                reader.number(order.count) && reader.number(order.milliseconds) &&
                reader.number(order.warm_up);
  return fields && reader.whole();
}

std::string encode(const RepeatResult& result) {
  return PayloadWriter()
      .number(result.requests)
      .number(result.milliseconds)
      .number(result.before)
      .number(result.after)
      .bytes(result.source)
      .take();
}

bool decode(std::string_view payload, RepeatResult& result) {
  PayloadReader reader(payload);
  bool fields = reader.number(result.requests) && reader.number(result.milliseconds) &&
                reader.number(result.before) && reader.number(result.after) &&
                reader.bytes(result.source);
  return fields && reader.whole();
}

std::string encode(const FaultReport& report) {
  std::string payload = PayloadWriter()
                            .number(report.code)
                            .number(report.data_address)
                            .number(report.loop_requests)
                            .take();
  payload.push_back(report.has_data_address ? 1 : 0);
  payload.append(report.place);
  if (!report.guard_words.empty()) payload.append(1, '\0').append(report.guard_words);
  return payload;
}

bool decode(std::string_view payload, FaultReport& report) {
  PayloadReader reader(payload);
  if (payload.size() < kFaultReportFixedBytes || !reader.number(report.code) ||
      !reader.number(report.data_address) || !reader.number(report.loop_requests)) {
    return false;
  }
  unsigned char flags = static_cast<unsigned char>(payload[24]);
  if (flags > 1) return false;
  report.has_data_address = flags == 1;
  std::string_view text = payload.substr(kFaultReportFixedBytes);
  std::size_t words = text.find('\0');
  report.place.assign(text.substr(0, words));
  report.guard_words.assign(words == std::string_view::npos ? "" : text.substr(words + 1));
  return true;
}
