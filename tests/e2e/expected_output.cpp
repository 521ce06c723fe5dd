#include "expected_output.h"

std::string expand(const std::string& text, const RunFolder& folder) {
  static const std::string kLoadFailure =
      "\x82\xf0load\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd\x81\x42";
  const std::string directory = folder.tool_directory();
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '{' && i + 2 < text.size() && text[i + 2] == '}') {
      switch (text[i + 1]) {
        case 'D':
          out += directory;
          i += 2;
          continue;
        case 'S':
          out += RunFolder::separator();
          i += 2;
          continue;
        case 'X':
          out += RunFolder::module_suffix();
          i += 2;
          continue;
        case 'F':
          out += kLoadFailure;
          i += 2;
          continue;
        case 'L':
          out += std::to_string(directory.size());
          i += 2;
          continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::string bound(const std::string& name, const std::string& file) {
  return "dll loading.\nname:" + name + "\npath:{D}" + file + "{X}\n";
}

std::string exchange(const std::string& request, const std::string& reply) {
  return "// request_data//\n" + request + "\n// return data //\n" + reply + "\n";
}

std::string crash_words(const std::string& err) {
  std::size_t at = err.rfind(" crashed in ");
  if (at == std::string::npos) return "(no crash reported)";
  at = err.find(": ", at) + 2;
  return err.substr(at, err.find('\n', at) - at);
}
