#include "interactive/line_source.h"

#include <cstdio>
#include <vector>

#include "interactive/line_editor.h"
#include "platform/files.h"
#include "platform/standard_input.h"
#include "platform/terminal.h"

namespace {

// The history file keeps this many of the newest lines.
constexpr std::size_t kHistoryLines = 500;

// Standard input as it comes, cut at line feeds.
class StreamLines : public LineSource {
 public:
  explicit StreamLines(bool prompted) : prompted_(prompted) {}

  bool next_line(const std::string& prompt, std::string& line) override {
    if (prompted_) write_to_terminal(prompt);
    for (;;) {
      std::size_t feed = pending_.find('\n', start_);
      if (feed != std::string::npos) {
        line.assign(pending_, start_, feed - start_);
        start_ = feed + 1;
        return true;
      }
      pending_.erase(0, start_);
      start_ = 0;
      char chunk[4096];
      std::size_t got = ended_ ? 0 : read_standard_input(chunk, sizeof chunk);
      if (got == 0) {
        ended_ = true;
        if (pending_.empty()) return false;
        line.swap(pending_);
        pending_.clear();
        return true;
      }
      pending_.append(chunk, got);
    }
  }

 private:
  bool prompted_;
  bool ended_ = false;
  std::string pending_;
  std::size_t start_ = 0;
};

std::vector<std::string> read_history(const std::string& path) {
  std::vector<std::string> lines;
  std::FILE* in = path.empty() ? nullptr : open_binary_file(path.c_str());
  if (in == nullptr) return lines;
  std::string line;
  for (int byte; (byte = std::fgetc(in)) != EOF;) {
    if (byte != '\n') {
      line += static_cast<char>(byte);
    } else if (!line.empty()) {
      lines.push_back(line);
      line.clear();
    }
  }
  std::fclose(in);
  return lines;
}

// The history is a convenience: a file that cannot be written loses it
// quietly.
void write_history(const std::string& path, const std::vector<std::string>& lines) {
  if (path.empty()) return;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return;
  std::size_t first = lines.size() > kHistoryLines ? lines.size() - kHistoryLines : 0;
  for (std::size_t index = first; index < lines.size(); ++index) {
    std::fwrite(lines[index].data(), 1, lines[index].size(), out);
    std::fputc('\n', out);
  }
  std::fclose(out);
}

// The terminal in key mode only while a line is typed: during a request it
// is as it was, so Ctrl-C ends a module that does not return.
class EditedLines : public LineSource {
 public:
  EditedLines() : history_path_(history_file_path()) {
    for (const std::string& line : read_history(history_path_)) editor_.remember(line);
  }

  bool next_line(const std::string& prompt, std::string& line) override {
    if (!enter_key_mode()) return false;
    std::string screen;
    editor_.start(prompt, screen);
    LineEditor::Result result = LineEditor::kEditing;
    while (result == LineEditor::kEditing) {
      write_to_terminal(screen);
      screen.clear();
      int byte = read_key_byte();
      result = byte < 0 ? LineEditor::kEnd : editor_.feed(static_cast<unsigned char>(byte), screen);
    }
    write_to_terminal(screen);
    leave_key_mode();
    if (result == LineEditor::kEnd) return false;
    line = editor_.line();
    std::size_t kept = editor_.history().size();
    editor_.remember(line);
    if (editor_.history().size() != kept) write_history(history_path_, editor_.history());
    return true;
  }

 private:
  std::string history_path_;
  LineEditor editor_;
};

}  // namespace

std::unique_ptr<LineSource> open_line_source() {
  if (!standard_input_is_terminal()) return std::make_unique<StreamLines>(false);
  if (!enter_key_mode()) return std::make_unique<StreamLines>(true);
  leave_key_mode();
  return std::make_unique<EditedLines>();
}
