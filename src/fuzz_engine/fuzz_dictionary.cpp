#include "fuzz_engine/fuzz_dictionary.h"

#include "fuzz_engine/image_sections.h"

namespace {

bool is_printable(unsigned char byte) {
  return byte >= 0x20 && byte <= 0x7E;
}

bool is_letter(char byte) {
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
}

bool is_separator(char byte) {
  return byte == ' ' || byte == '\t' || byte == ':' || byte == ',' || byte == '=' || byte == '\r' ||
         byte == '\n';
}

bool is_upper(char byte) {
  return byte >= 'A' && byte <= 'Z';
}

// A short run is a word only when it reads as one: letters and digits in
// one case, or capitalised. The bytes of addresses and code in a file's
// data ("@LX", "`pLX", "HpLX") are short runs too, and would crowd the
// module's real words out of the picks.
bool reads_as_word(std::string_view piece) {
  bool letter = false;
  bool upper_after_first = false;
  bool lower = false;
  for (std::size_t at = 0; at < piece.size(); ++at) {
    char byte = piece[at];
    bool digit = byte >= '0' && byte <= '9';
    if (!digit && !is_letter(byte)) return false;
    letter = letter || is_letter(byte);
    if (at > 0 && is_upper(byte)) upper_after_first = true;
    if (is_letter(byte) && !is_upper(byte)) lower = true;
  }
  return letter && !(upper_after_first && lower);
}

constexpr std::size_t kLongestShortRun = 4;

bool is_file_word(std::string_view piece) {
  if (piece.size() < 2 || piece.size() > FuzzDictionary::kLongestFileWord) return false;
  return piece.size() > kLongestShortRun || reads_as_word(piece);
}

template <typename Take>
void for_each_piece(std::string_view text, Take take) {
  std::size_t start = 0;
  for (std::size_t at = 0; at <= text.size(); ++at) {
    if (at < text.size() && !is_separator(text[at])) continue;
    if (at > start) take(text.substr(start, at - start));
    start = at + 1;
  }
}

// A run of UTF-16LE code units, each a printable byte then a NUL.
struct WideRun {
  std::size_t start = 0;
  std::size_t units = 0;
};

}  // namespace

void FuzzDictionary::add_word(std::string_view word) {
  if (word.empty() || full() || held_.find(word) != held_.end()) return;
  words_.emplace_back(word);
  held_.emplace(word);
}

void FuzzDictionary::add_words(const std::vector<std::string>& words) {
  for (const std::string& word : words) add_word(word);
}

void FuzzDictionary::add_seed_words(const std::vector<std::string>& seeds) {
  for (const std::string& seed : seeds) {
    for_each_piece(seed, [this](std::string_view piece) { add_word(piece); });
  }
}

void FuzzDictionary::add_image_words(std::string_view image) {
  std::vector<ImageSection> sections = find_data_sections(image);
  // Neither kind of file, or one that keeps its data under other names: its
  // strings are still somewhere in it.
  if (sections.empty()) add_text_runs(image);
  // Literals are kept read-only; .data is mostly numbers and addresses, whose
  // chance words come after them.
  for (bool writable : {false, true}) {
    for (const ImageSection& section : sections) {
      if ((section.name == ".data") == writable) {
        add_text_runs(image.substr(section.offset, section.size));
      }
    }
  }
}

void FuzzDictionary::add_run(std::string_view run) {
  if (run.size() < 2 || run.size() > kLongestFileWord) return;
  if (is_file_word(run)) add_word(run);
  for_each_piece(run, [this](std::string_view piece) {
    if (is_file_word(piece)) add_word(piece);
  });
}

// One pass finds both kinds of run, so that words come in the order their
// runs end in the file. A wide literal may start at an even offset or an odd
// one, so a wide run is followed for each.
void FuzzDictionary::add_text_runs(std::string_view bytes) {
  std::size_t size = bytes.size();
  std::size_t narrow_start = 0;
  WideRun wide_runs[2];
  std::string narrowed;
  narrowed.reserve(kLongestFileWord);
  for (std::size_t at = 0; at <= size && !full(); ++at) {
    bool printable = at < size && is_printable(static_cast<unsigned char>(bytes[at]));
    if (!printable) {
      if (at > narrow_start) add_run(bytes.substr(narrow_start, at - narrow_start));
      narrow_start = at + 1;
    }
    // The run of the other parity was last looked at one byte back; at the
    // end it is already closed, since a unit needs the byte after it.
    // A unit right after a printable byte cannot start a wide run: it is
    // the last byte of a narrow string, and a one-byte string after it would
    // make a word of the two.
    WideRun& wide = wide_runs[at & 1];
    if (printable && at + 1 < size && bytes[at + 1] == '\0' &&
        (wide.units > 0 || at == 0 || !is_printable(static_cast<unsigned char>(bytes[at - 1])))) {
      if (wide.units++ == 0) wide.start = at;
      continue;
    }
    if (wide.units >= 2 && wide.units <= kLongestFileWord) {
      narrowed.clear();
      for (std::size_t unit = 0; unit < wide.units; ++unit) {
        narrowed += bytes[wide.start + 2 * unit];
      }
      add_run(narrowed);
    }
    wide.units = 0;
  }
}

FuzzDictionary build_fuzz_dictionary(const std::vector<std::string>& seeds,
                                     const std::vector<std::string>& listed,
                                     std::string_view image) {
  FuzzDictionary dictionary;
  dictionary.add_seed_words(seeds);
  dictionary.add_words(listed);
  dictionary.add_image_words(image);
  return dictionary;
}
