#include "settings/settings_store.h"

#include <iomanip>
#include <string_view>
#include <utility>

#include "settings/reserve_room.h"

void DictionaryEntries::push_back(std::string_view entry) {
  if (ends_.empty() && ends_.capacity() == 0) reserve_ends();
  text_.append(entry.data(), entry.size());
  text_ += '\n';
  ends_.push_back(text_.size());
}

void DictionaryEntries::reserve(std::size_t bytes) {
  if (text_.capacity() >= bytes) return;
  // A million entries are written once into fresh pages: in large pages
  // that is a few faults instead of one per 4 KiB.
  reserve_in_large_pages(text_, bytes);
}

void DictionaryEntries::reserve_ends() {
  // Room for an end per eight bytes of the block taken ahead: it costs
  // address space only, and spares the list its copies while it grows.
  reserve_in_large_pages(ends_, text_.capacity() / 8);
}

std::string_view DictionaryEntries::operator[](std::size_t index) const {
  std::size_t begin = index == 0 ? 0 : ends_[index - 1];
  return std::string_view(text_).substr(begin, ends_[index] - 1 - begin);
}

std::vector<std::string> DictionaryEntries::to_vector() const {
  std::vector<std::string> entries;
  entries.reserve(size());
  for (std::size_t index = 0; index < size(); ++index) entries.emplace_back((*this)[index]);
  return entries;
}

bool operator==(const DictionaryEntries& entries, const std::vector<std::string>& expected) {
  if (entries.size() != expected.size()) return false;
  for (std::size_t index = 0; index < expected.size(); ++index) {
    if (entries[index] != expected[index]) return false;
  }
  return true;
}

bool operator==(const std::vector<std::string>& expected, const DictionaryEntries& entries) {
  return entries == expected;
}

std::ostream& operator<<(std::ostream& out, const DictionaryEntries& entries) {
  out << "{";
  for (std::size_t index = 0; index < entries.size(); ++index) {
    out << (index == 0 ? " " : ", ") << std::quoted(std::string(entries[index]));
  }
  return out << " }";
}

namespace {

template <typename Value>
int file_setting(SettingsStore& store, const std::string& key, Value&& value) {
  if (is_dictionary_key(key)) {
    store.dictionaries.push_back(std::forward<Value>(value));
  } else {
    // try_emplace leaves `value` alone when the key is taken: the first wins.
    store.values.try_emplace(key, std::forward<Value>(value));
  }
  return 1;
}

}  // namespace

int store_setting(SettingsStore& store, const std::string& key, const std::string& value) {
  return file_setting(store, key, value);
}

int store_setting(SettingsStore& store, const std::string& key, std::string&& value) {
  return file_setting(store, key, std::move(value));
}

namespace {

// Gathers the report into blocks of this size for the stream: a write per
// key, separator and value costs far more than their bytes when a store holds
// a million short entries.
constexpr std::size_t kReportBlock = 64 * 1024;

class ReportWriter {
 public:
  explicit ReportWriter(std::ostream& out) : out_(out) { pending_.reserve(kReportBlock); }
  ~ReportWriter() { flush(); }
  ReportWriter(const ReportWriter&) = delete;
  ReportWriter& operator=(const ReportWriter&) = delete;

  ReportWriter& operator<<(std::string_view piece) {
    if (pending_.size() + piece.size() > kReportBlock) {
      flush();
      // A piece bigger than a block goes straight through, uncopied.
      if (piece.size() > kReportBlock) {
        out_.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        return *this;
      }
    }
    pending_ += piece;
    return *this;
  }

 private:
  void flush() {
    out_.write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
    pending_.clear();
  }

  std::ostream& out_;
  std::string pending_;
};

}  // namespace

void dump_settings(const SettingsStore& store, std::ostream& out) {
  ReportWriter report(out);
  for (const auto& [key, value] : store.values) report << key << ":\t" << value << "\n";
  report << store.dictionaries.lines();
}

int get_setting(const SettingsStore& store, std::string& value, const std::string& key) {
  auto found = store.values.find(key);
  if (found == store.values.end()) {
    value.clear();
  } else {
    value = found->second;
  }
  return 1;
}

int take_setting(SettingsStore& store, std::string& value, const std::string& key) {
  auto found = store.values.find(key);
  if (found == store.values.end()) {
    value.clear();
  } else {
    value = std::move(found->second);
    found->second.clear();
  }
  return 1;
}
