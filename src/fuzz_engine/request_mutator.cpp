#include "fuzz_engine/request_mutator.h"

#include <algorithm>
#include <cstring>

#include "fuzz_engine/line_mutator.h"
#include "fuzz_engine/mutation_draws.h"
#include "fuzz_engine/word_mutator.h"

namespace {

// Short spans keep a mutated request close to its seed; long ones would
// only turn it into noise.
constexpr std::uint64_t kLongestRepeatedSpan = 32;

// Delimiters of the settings and request syntax, the end-of-file byte and
// bytes that are not text in any code page.
constexpr unsigned char kTrickyBytes[] = {0x00, '\r', '\n', '\t', ',', ':', '"', '\\', 0x1A, 0xFF};
// The two-byte lead ranges: 0x81-0x9F and 0xE0-0xFC.
constexpr std::size_t kLowLeads = 0x9F - 0x81 + 1;
constexpr std::size_t kLeadBytes = kLowLeads + (0xFC - 0xE0 + 1);

// Half the bytes above, half lead bytes, in one table: a single pick then
// chooses, with no branch to guess wrong in the fuzz loop.
struct TrickyTable {
  unsigned char bytes[2 * kLeadBytes];
};
constexpr TrickyTable make_tricky_table() {
  TrickyTable table{};
  for (std::size_t i = 0; i < kLeadBytes; ++i) {
    table.bytes[i] = kTrickyBytes[i % sizeof kTrickyBytes];
    table.bytes[kLeadBytes + i] =
        static_cast<unsigned char>(i < kLowLeads ? 0x81 + i : 0xE0 + (i - kLowLeads));
  }
  return table;
}
constexpr TrickyTable kTricky = make_tricky_table();

// Half the time one byte, else a short span of 2 to 16.
std::size_t span_length(MutationRandom& random) {
  std::size_t single = random.pick(1, 2);
  std::size_t span = 2 + random.pick(4, 15);
  return single == 0 ? 1 : span;
}

}  // namespace

RequestMutator::RequestMutator(std::uint64_t seed, std::size_t max_length)
    : context_(seed, std::min(max_length, kLongestMaxLength)) {}

unsigned RequestMutator::mutate(std::string& request, const std::vector<std::string>& seeds) {
  if (request.capacity() < max_length()) request.reserve(max_length());
  if (request.size() > max_length()) request.resize(max_length());
  seed_shapes_.update(seeds);
  // Byte mutations break a first line at once, and a module that parses
  // lines then reads no further; so most calls keep the lines whole and a
  // quarter still bring the byte-level noise.
  if (seed_shapes_.any_shaped() && context_.random.pick(2, 4) != 0) {
    return mutate_lines(request, seeds);
  }
  return mutate_bytes(request, seeds);
}

unsigned RequestMutator::mutate_bytes(std::string& request, const std::vector<std::string>& seeds) {
  MutationRandom& random = context_.random;
  unsigned applied = 0;
  // Starting again once in 16 calls keeps the requests close to realistic
  // text.
  if (!seeds.empty() && random.pick(4, 16) == 0 &&
      apply(Mutation::kRestartFromSeed, request, seeds)) {
    applied |= mutation_bit(Mutation::kRestartFromSeed);
  }
  const MutationDraws& draws = context_.has_dictionary() ? kByteDrawsWithWords : kByteDraws;
  // Mostly one step, since each costs time in the fuzz loop; a quarter of
  // the time two or three.
  std::uint64_t steps = random.pick(2, 4) != 0 ? 1 : 2 + random.pick(1, 2);
  for (; steps > 0; --steps) {
    for (int tries = 0; tries < kMostDraws; ++tries) {
      Mutation kind = draws[random.pick(5, draws.size())];
      if (apply(kind, request, seeds)) {
        applied |= mutation_bit(kind);
        break;
      }
    }
  }
  return applied;
}

bool RequestMutator::apply(Mutation kind, std::string& request,
                           const std::vector<std::string>& seeds) {
  bool has_bytes = !request.empty();
  switch (kind) {
    case Mutation::kFlipBit:
      if (has_bytes) flip_bit(request);
      return has_bytes;
    case Mutation::kFlipByte:
      if (has_bytes) flip_byte(request);
      return has_bytes;
    case Mutation::kInsertBytes:
      if (room(request) == 0) return false;
      insert_bytes(request);
      return true;
    case Mutation::kDeleteBytes:
      if (has_bytes) delete_bytes(request);
      return has_bytes;
    case Mutation::kRepeatSpan:
      if (has_bytes) repeat_span(request);
      return has_bytes;
    case Mutation::kInsertTrickyByte:
      // A full request still takes one, in the place of a byte.
      if (max_length() == 0) return false;
      insert_tricky_byte(request);
      return true;
    case Mutation::kSpliceSeeds:
      if (seeds.empty() || max_length() == 0) return false;
      splice_seeds(request, seeds);
      return true;
    case Mutation::kRestartFromSeed:
      if (seeds.empty()) return false;
      restart_from_seed(request, seeds);
      return true;
    case Mutation::kCount:
      return false;
    default:
      if (is_word_kind(kind)) return apply_word_mutation(kind, context_, request);
      // Added lines take keys and words from the seeds.
      seed_shapes_.update(seeds);
      return apply_line_mutation(kind, context_, seed_shapes_, request, *read_shape(request));
  }
}

void RequestMutator::flip_bit(std::string& request) {
  std::size_t at = context_.random.pick(32, request.size());
  request[at] ^= static_cast<char>(1u << context_.random.pick(3, 8));
}

void RequestMutator::flip_byte(std::string& request) {
  // Any other value, so that the byte always changes.
  std::size_t at = context_.random.pick(32, request.size());
  request[at] ^= static_cast<char>(1 + context_.random.pick(8, 255));
}

void RequestMutator::insert_bytes(std::string& request) {
  std::size_t count = std::min(span_length(context_.random), room(request));
  std::size_t at = context_.random.pick(32, request.size() + 1);
  // One call that moves the tail, within the reserved capacity.
  request.insert(at, count, '\0');
  context_.random.fill(&request[at], count);
}

void RequestMutator::delete_bytes(std::string& request) {
  std::size_t count = std::min(span_length(context_.random), request.size());
  request.erase(context_.random.pick(32, request.size() - count + 1), count);
}

void RequestMutator::repeat_span(std::string& request) {
  std::size_t length =
      1 + context_.random.pick(8, std::min<std::uint64_t>(request.size(), kLongestRepeatedSpan));
  std::size_t copies =
      std::min<std::size_t>(1 + context_.random.pick(3, 8), room(request) / length);
  bool over = context_.random.pick(1, 2) == 0;
  std::size_t from = context_.random.pick(32, request.size() - length + 1);
  if (over || copies == 0) {
    // Over another part of the request: the length stays.
    std::size_t to = context_.random.pick(32, request.size() - length + 1);
    std::memmove(&request[0] + to, request.data() + from, length);
    return;
  }
  // Right after the span itself, which the insertion therefore leaves where
  // it was.
  request.insert(from + length, copies * length, '\0');
  char* bytes = &request[0];
  for (std::size_t i = 1; i <= copies; ++i) {
    std::memcpy(bytes + from + i * length, bytes + from, length);
  }
}

void RequestMutator::insert_tricky_byte(std::string& request) {
  char byte = static_cast<char>(kTricky.bytes[context_.random.pick(8, sizeof kTricky.bytes)]);
  // As the very last byte a lead byte is left without its second byte, the
  // case that most often makes a module read past the end.
  std::size_t anywhere = context_.random.pick(32, request.size() + 1);
  std::size_t at = context_.random.pick(8, 3) == 0 ? request.size() : anywhere;
  if (room(request) == 0) {
    // Full: in the place of a byte.
    request[std::min(at, request.size() - 1)] = byte;
  } else {
    request.insert(at, 1, byte);
  }
}

void RequestMutator::splice_seeds(std::string& request, const std::vector<std::string>& seeds) {
  std::size_t first = context_.random.pick(32, seeds.size());
  const std::string& front = seeds[first];
  // Each side gives at least one byte when it has any, so that the result
  // always shows both.
  std::size_t front_length = front.empty() ? 0 : 1 + context_.random.pick(32, front.size());
  front_length = std::min(front_length, max_length());
  if (seeds.size() == 1) {
    // With one seed the request itself gives the back, cut so that the
    // whole stays within the cap and so within the reserved capacity.
    std::size_t whole = request.size() + front_length;
    std::size_t over_cap = whole - std::min(whole, max_length());
    std::size_t cut = std::max<std::size_t>(context_.random.pick(32, request.size() + 1), over_cap);
    request.replace(0, cut, front, 0, front_length);
  } else {
    std::size_t second = (first + 1 + context_.random.pick(32, seeds.size() - 1)) % seeds.size();
    const std::string& back = seeds[second];
    std::size_t from = context_.random.pick(32, back.size());
    request.assign(front, 0, front_length);
    request.append(back, from, max_length() - front_length);
  }
}

void RequestMutator::restart_from_seed(std::string& request,
                                       const std::vector<std::string>& seeds) {
  request.assign(seeds[context_.random.pick(32, seeds.size())], 0, max_length());
}
