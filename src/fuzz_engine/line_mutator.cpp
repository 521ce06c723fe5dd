#include "fuzz_engine/line_mutator.h"

#include <string_view>

#include "fuzz_engine/mutation_values.h"

namespace {

bool is_digit(char byte) {
  return byte >= '0' && byte <= '9';
}
bool is_blank(char byte) {
  return byte == ' ' || byte == '\t';
}

// One mutation of one request: the edit and all it reads.
class LineEdit {
 public:
  LineEdit(MutationContext& context, const SeedShapes& seeds, std::string& request,
           const LineShape& shape)
      : context_(context), seeds_(seeds), request_(request), shape_(shape) {}

  bool replace_value();
  bool add_line();
  bool delete_line();
  bool duplicate_line();
  bool swap_lines();
  bool change_closing_line();
  bool replace_first_line_word();

 private:
  std::size_t pick(std::size_t bound) {
    return static_cast<std::size_t>(context_.random.pick(32, bound));
  }
  std::size_t line_count() const { return shape_.lines.size(); }
  // A line other than the first, which stays in its place; two lines first.
  const ShapedLine& later_line() { return shape_.lines[1 + pick(line_count() - 1)]; }
  // Where a line may go in: after any line, so never before the first or
  // after the closing empty line.
  std::size_t line_start() { return shape_.lines[pick(line_count())].next(); }
  std::string_view key_separator() const;
  bool append_key(std::string& text);
  void append_value(std::string& text);

  MutationContext& context_;
  const SeedShapes& seeds_;
  std::string& request_;
  const LineShape& shape_;
};

bool LineEdit::replace_value() {
  std::size_t keyed = 0;
  for (const ShapedLine& line : shape_.lines) keyed += line.has_colon;
  if (keyed == 0) return false;
  std::size_t nth = pick(keyed);
  const ShapedLine* line = &shape_.lines[1];
  while (!line->has_colon || nth-- > 0) ++line;
  TextSpan value = line->value;
  // Three in eight a dictionary word, three a number, one empty, one a run.
  std::uint64_t choice = context_.random.pick(3, 8);
  if (choice < 3 && !context_.has_dictionary()) choice += 3;
  if (choice < 3) {
    std::string_view old_value(request_.data() + value.begin, value.size);
    context_.replace(request_, value.begin, value.size, context_.dictionary_word_like(old_value));
  } else if (choice < 6) {
    context_.replace(request_, value.begin, value.size, pick_interesting_number(context_.random));
  } else if (choice == 6) {
    request_.erase(value.begin, value.size);
  } else {
    std::size_t length = pick_run_length(context_.random, context_.room(request_) + value.size);
    request_.replace(value.begin, value.size, length, pick_run_byte(context_.random));
  }
  return true;
}

std::string_view LineEdit::key_separator() const {
  for (const ShapedLine& line : shape_.lines) {
    if (line.has_colon) {
      return std::string_view(request_).substr(line.key.end(), line.value.begin - line.key.end());
    }
  }
  return ": ";
}

bool LineEdit::append_key(std::string& text) {
  bool from_seed = !context_.has_dictionary() || context_.random.pick(1, 2) == 0;
  std::string_view key = from_seed ? seeds_.pick_key(context_.random) : std::string_view();
  if (key.empty()) {
    // No seed line has a key: the dictionary, if any, gives one.
    if (!context_.has_dictionary()) return false;
    text.append(context_.dictionary_word());
    return true;
  }
  // A numbered key, like the n-th argument, gets another number: the lines
  // a module reads in turn, or one it never expected.
  std::size_t stem = key.size();
  while (stem > 0 && is_digit(key[stem - 1])) --stem;
  text.append(key.substr(0, stem));
  if (stem < key.size()) text.append(pick_key_number(context_.random, key.substr(stem)));
  return true;
}

void LineEdit::append_value(std::string& text) {
  std::uint64_t choice = context_.random.pick(2, 4);
  std::string_view value;
  if (choice == 0 && context_.has_dictionary()) value = context_.dictionary_word();
  if (choice >= 2) value = seeds_.pick_word(context_.random);
  if (value.empty()) value = pick_interesting_number(context_.random);
  text.append(value);
}

bool LineEdit::add_line() {
  std::string& text = context_.scratch;
  text.clear();
  if (!append_key(text)) return false;
  text.append(key_separator());
  append_value(text);
  text.append(shape_.line_end());
  if (text.size() > context_.room(request_)) return false;
  request_.insert(line_start(), text);
  return true;
}

bool LineEdit::delete_line() {
  if (line_count() < 2) return false;
  const ShapedLine& line = later_line();
  request_.erase(line.text.begin, line.next() - line.text.begin);
  return true;
}

bool LineEdit::duplicate_line() {
  if (line_count() < 2) return false;
  const ShapedLine& line = later_line();
  std::size_t size = line.next() - line.text.begin;
  if (size > context_.room(request_)) return false;
  context_.scratch.assign(request_, line.text.begin, size);
  request_.insert(line_start(), context_.scratch);
  return true;
}

bool LineEdit::swap_lines() {
  if (line_count() < 3) return false;
  std::size_t first = 1 + pick(line_count() - 1);
  std::size_t second = 1 + pick(line_count() - 2);
  if (second >= first) ++second;
  if (second < first) std::swap(first, second);
  // The texts trade places; the line ends stay where they were.
  TextSpan front = shape_.lines[first].text;
  TextSpan back = shape_.lines[second].text;
  std::string& text = context_.scratch;
  text.assign(request_, back.begin, back.size);
  text.append(request_, front.end(), back.begin - front.end());
  text.append(request_, front.begin, front.size);
  request_.replace(front.begin, text.size(), text);
  return true;
}

bool LineEdit::change_closing_line() {
  if (!shape_.closed) return false;
  TextSpan closing = shape_.closing;
  if (context_.random.pick(1, 2) == 0) {
    request_.erase(closing.begin, closing.size);
    return true;
  }
  if (context_.room(request_) < closing.size) return false;
  request_.insert(closing.end(), closing.size == 2 ? "\r\n" : "\n");
  return true;
}

bool LineEdit::replace_first_line_word() {
  if (!context_.has_dictionary()) return false;
  TextSpan line = shape_.lines.front().text;
  std::string_view text = std::string_view(request_).substr(line.begin, line.size);
  auto starts_word = [&](std::size_t at) {
    return !is_blank(text[at]) && (at == 0 || is_blank(text[at - 1]));
  };
  std::size_t words = 0;
  for (std::size_t at = 0; at < text.size(); ++at) words += starts_word(at);
  if (words == 0) return false;
  // Half the time the first word, which is most often the command.
  std::size_t nth = context_.random.pick(1, 2) == 0 ? 0 : pick(words);
  std::size_t begin = 0;
  while (!starts_word(begin) || nth-- > 0) ++begin;
  std::size_t end = begin;
  while (end < text.size() && !is_blank(text[end])) ++end;
  std::string_view word = context_.dictionary_word_like(text.substr(begin, end - begin));
  context_.replace(request_, line.begin + begin, end - begin, word);
  return true;
}

}  // namespace

bool apply_line_mutation(Mutation kind, MutationContext& context, const SeedShapes& seeds,
                         std::string& request, const LineShape& shape) {
  if (!shape.shaped) return false;
  LineEdit edit(context, seeds, request, shape);
  switch (kind) {
    case Mutation::kReplaceValue:
      return edit.replace_value();
    case Mutation::kAddLine:
      return edit.add_line();
    case Mutation::kDeleteLine:
      return edit.delete_line();
    case Mutation::kDuplicateLine:
      return edit.duplicate_line();
    case Mutation::kSwapLines:
      return edit.swap_lines();
    case Mutation::kChangeClosingLine:
      return edit.change_closing_line();
    case Mutation::kReplaceFirstLineWord:
      return edit.replace_first_line_word();
    default:
      return false;
  }
}
