// Whole runs of the real tool fed hostile input: settings files and module
// lists that are huge, binary, malformed or no files at all, and modules that
// break the interface in every way a host must survive. Each case lays out
// its folder and builds the exact output from the input's own description;
// every run must also exit 0. They run natively, under Wine and under the
// memory checker like the other end-to-end cases.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "expected_output.h"
#include "run_folder.h"

namespace fs = std::filesystem;

namespace {

const std::string kNoList = "saori.ini don't open!!\n";
const std::string kEchoSettings = "string:hello\nsaori:echo\n";

std::string repeat(std::string_view piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

std::string escaped(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char code[5];
      std::snprintf(code, sizeof code, "\\x%02X", c);
      out += code;
    }
  }
  return out;
}

// Outputs run to tens of megabytes: on a difference, say where it starts
// instead of printing both.
void expect_same_output(const std::string& actual, const std::string& expected) {
  if (actual == expected) return;
  std::size_t at =
      std::mismatch(actual.begin(), actual.begin() + std::min(actual.size(), expected.size()),
                    expected.begin())
          .first -
      actual.begin();
  std::size_t from = at < 40 ? 0 : at - 40;
  ADD_FAILURE() << "output differs at byte " << at << " of " << actual.size() << " (expected "
                << expected.size() << " bytes)\n  actual:   ..."
                << escaped(std::string_view(actual).substr(from, 120)) << "\n  expected: ..."
                << escaped(std::string_view(expected).substr(from, 120));
}

std::string run_tool(const RunFolder& folder, const std::string& prefix = "") {
  int exit_code = -1;
  std::string output = folder.run(exit_code, prefix);
  EXPECT_EQ(exit_code, 0);
  return output;
}

// An entry whose library does not load: the failure lines, then the record.
// Placeholders unexpanded.
std::string not_loaded(const std::string& name, const std::string& path_field) {
  return "NG\n{D}" + path_field + "{F}\nname:" + name + "\npath:{D}" + path_field + "\n";
}

// What a run prints with no settings at all and no module list.
std::string nothing_to_send(const std::string& report) {
  return report + "\n" + kNoList + exchange("", "");
}

bool by_unsigned_bytes(const std::pair<std::string, std::string>& a,
                       const std::pair<std::string, std::string>& b) {
  return std::lexicographical_compare(
      a.first.begin(), a.first.end(), b.first.begin(), b.first.end(),
      [](char x, char y) { return static_cast<unsigned char>(x) < static_cast<unsigned char>(y); });
}

std::string lead_bytes(std::size_t count) {
  std::string all;
  for (int b = 0x81; b <= 0x9F; ++b) all += static_cast<char>(b);
  for (int b = 0xE0; b <= 0xFC; ++b) all += static_cast<char>(b);
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += all[i % all.size()];
  return out;
}

// One case: lays out the folder and returns the exact output, expanded.
struct HostileCase {
  const char* name;
  std::function<std::string(const RunFolder&)> lay_out;
};

void PrintTo(const HostileCase& hostile_case, std::ostream* out) {
  *out << hostile_case.name;
}

std::string case_name(const testing::TestParamInfo<HostileCase>& info) {
  return info.param.name;
}

class HostileRun : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileRun, PrintsExactBytesAndExitsZero) {
  RunFolder folder;
  std::string expected = GetParam().lay_out(folder);
  expect_same_output(run_tool(folder), expected);
}

// Settings files.

std::string hundred_thousand_keys(const RunFolder& folder) {
  // Written in a scrambled order, with capitals, a two-byte character and a
  // byte above 0x7F in front, so that the report has to sort by bytes.
  const char* prefixes[] = {"k", "K", "\xE0\x9F", "\xA0"};
  std::vector<std::pair<std::string, std::string>> pairs;
  std::string ini;
  for (int n = 0; n < 100000; ++n) {
    int i = static_cast<int>(n * 7919L % 100000);
    pairs.emplace_back(prefixes[i % 4] + std::to_string(i), "v" + std::to_string(n));
    ini += pairs.back().first + ":" + pairs.back().second + "\n";
  }
  // A second value for every tenth key: the first one stays.
  for (int n = 0; n < 100000; n += 10) ini += pairs[n].first + ":late\n";
  folder.write("test.ini", ini);
  std::sort(pairs.begin(), pairs.end(), by_unsigned_bytes);
  std::string report;
  for (const auto& [key, value] : pairs) report += key + ":\t" + value + "\n";
  return nothing_to_send(report);
}

std::string hundred_thousand_dictionary_entries(const RunFolder& folder) {
  std::string ini = "Dict:ordinary\n";
  std::string entries;
  for (int line = 0; line < 1000; ++line) {
    ini += line % 2 ? "DICT:" : "dict:";
    for (int k = 0; k < 100; ++k) {
      std::string entry = "e" + std::to_string(line * 100 + k);
      ini += entry + (k < 99 ? "," : "\n");
      entries += entry + "\n";
    }
    if (line == 499) {
      ini += "dict,DICT:twice\n";
      entries += "twice\ntwice\n";
    }
  }
  folder.write("test.ini", ini);
  return nothing_to_send("Dict:\tordinary\n" + entries);
}

std::string many_keys_times_many_values(const RunFolder& folder) {
  // Every value goes to every key: 30,000 keys by 30,000 values are 900
  // million pairs, of which only the first value of each ordinary key and
  // every value of the dictionary keys leave a trace.
  const int count = 30000;
  std::vector<std::pair<std::string, std::string>> pairs;
  std::string keys = "dict,";
  std::string values;
  std::string entries;
  for (int i = 0; i < count; ++i) {
    keys += "k" + std::to_string(i) + ",";
    pairs.emplace_back("k" + std::to_string(i), "v0");
    values += (i ? ",v" : "v") + std::to_string(i);
    entries += "v" + std::to_string(i) + "\nv" + std::to_string(i) + "\n";
  }
  folder.write("test.ini", keys + "DICT:" + values + "\n");
  std::sort(pairs.begin(), pairs.end(), by_unsigned_bytes);
  std::string report;
  for (const auto& [key, value] : pairs) report += key + ":\t" + value + "\n";
  return nothing_to_send(report + entries);
}

std::string key_list_of_commas(const RunFolder& folder) {
  // Two million empty keys around one real one, and values the same way.
  const std::string commas(2 << 20, ',');
  folder.write("test.ini", commas + "k" + commas + ":" + commas + "v" + commas + "w\n");
  return nothing_to_send("k:\tv\n");
}

std::string sixteen_mebibyte_value(const RunFolder& folder) {
  // Two-byte characters whose second byte is a backslash or a quote, a
  // colon and inner blanks: all plain value bytes.
  std::string value = repeat("abcdefghijklmnopqrstuvwxyz0123456789 \x81\x5c\x95\x22:;.", 400000);
  value.resize(16 << 20);
  value.back() = 'Z';
  folder.write("test.ini", "string:" + value + "\nsaori:echo\n");
  folder.write("saori.ini", expand("echo:echo{X}\n", folder));
  folder.add_probe("echo", "echo");
  return "saori:\techo\nstring:\t" + value + "\n\n" + expand(bound("echo", "echo"), folder) +
         "// request_data//\n" + value + "\n// return data //\n" + value + "\n";
}

std::string only_lead_bytes(const RunFolder& folder) {
  folder.write("test.ini", lead_bytes(4097));
  return nothing_to_send("");
}

std::string lead_bytes_take_the_byte_after_them(const RunFolder& folder) {
  const std::string odd = lead_bytes(4095);
  folder.write("test.ini",
               "k:" + odd +
                   "\n"                // the last lead byte takes the line feed, then trimmed
                   "\x81:\x82:v\n"     // both colons belong to a character: no separator
                   "\x81\x3a:w\n"      // the key is a two-byte character ending in a colon
                   "j:\x81\x82\x83");  // a lead byte at the very end stands alone
  return nothing_to_send("j:\t\x81\x82\x83\nk:\t" + odd + "\n\x81::\tw\n");
}

std::string unterminated_quotes(const RunFolder& folder) {
  const std::string long_quote = repeat("a,b:", 5000);
  // A quote runs to the end of its line, never into the next one.
  folder.write("test.ini",
               "k1:\"open\n"
               "k2:closed\n"
               "\"key:v\n"   // the colon is quoted: no separator, nothing stored
               "k3:\"x\\\n"  // the escaped line feed is trimmed
               "k4:\"" +
                   long_quote +
                   "\n"
                   "k5:a\"b,c");  // the last line, without a line feed
  return nothing_to_send("k1:\topen\nk2:\tclosed\nk3:\tx\nk4:\t" + long_quote + "\nk5:\tab,c\n");
}

std::string nul_bytes_in_settings(const RunFolder& folder) {
  using namespace std::string_literals;
  folder.write("test.ini",
               "\0k:v\n"s
               "a\0b:1\n"s
               "c:x\0y\n"s
               "dict:p\0q\n"s
               "string:\"he\0llo\"\n"s
               "saori:echo\n"s
               "#\0comment:no\n"s
               "\0\n"s);
  folder.write("saori.ini", expand("echo:echo{X}\n", folder));
  folder.add_probe("echo", "echo");
  // The request is a C string: it ends at the NUL the value holds.
  return "a:\t1\nb:\t1\nc:\tx\nk:\tv\nsaori:\techo\nstring:\the\0llo\np\nq\n\n"s +
         expand(bound("echo", "echo") + exchange("he", "he"), folder);
}

std::string end_of_file_mark_first(const RunFolder& folder) {
  folder.write("test.ini", "\x1Astring:x\nsaori:y\n");
  folder.write("velmar.ini", "string:not read\n");
  return nothing_to_send("");
}

std::string carriage_returns_only(const RunFolder& folder) {
  // Every CR is dropped: the two settings become one line.
  folder.write("test.ini", "string:x\rsaori:echo\r");
  folder.write("saori.ini", expand("echo:echo{X}\n", folder));
  folder.add_probe("echo", "echo");
  return "string:\txsaori:echo\n\n" +
         expand(bound("echo", "echo") + exchange("xsaori:echo", "xsaori:echo"), folder);
}

std::string settings_file_is_a_directory(const RunFolder& folder) {
  fs::create_directory(folder.path() / "test.ini");
  folder.write("velmar.ini", "string:v\n");
  return "string:\tv\n\n" + kNoList + exchange("v", "v");
}

std::string no_settings_file_is_a_file(const RunFolder& folder) {
  fs::create_directory(folder.path() / "test.ini");
  fs::create_directory(folder.path() / "velmar.ini");
  return "don't open!!\n" + nothing_to_send("");
}

const HostileCase kSettingsCases[] = {
    {"HundredThousandKeysInByteOrder", hundred_thousand_keys},
    {"HundredThousandDictionaryEntries", hundred_thousand_dictionary_entries},
    {"ThirtyThousandKeysByThirtyThousandValues", many_keys_times_many_values},
    {"KeyListOfCommas", key_list_of_commas},
    {"SixteenMebibyteValueThroughAModule", sixteen_mebibyte_value},
    {"OnlyLeadBytes", only_lead_bytes},
    {"LeadBytesTakeTheByteAfterThem", lead_bytes_take_the_byte_after_them},
    {"UnterminatedQuotes", unterminated_quotes},
    {"NulBytes", nul_bytes_in_settings},
    {"EndOfFileMarkFirst", end_of_file_mark_first},
    {"CarriageReturnsOnly", carriage_returns_only},
    {"TestIniIsADirectory", settings_file_is_a_directory},
    {"BothSettingsFilesAreDirectories", no_settings_file_is_a_file},
};

INSTANTIATE_TEST_SUITE_P(SettingsFiles, HostileRun, testing::ValuesIn(kSettingsCases), case_name);

// Module lists.

std::string ten_thousand_entries(const RunFolder& folder) {
  // Every third entry names no file; a comment every hundred lines. The
  // first and the last entry trace their load and unload.
  std::string list;
  std::string expected;
  for (int i = 0; i < 10000; ++i) {
    if (i % 100 == 0) list += "# block " + std::to_string(i / 100) + "\n";
    std::string name = "m" + std::to_string(i);
    if (i == 0 || i == 9999) {
      std::string file = i == 0 ? "a" : "b";
      list += name + ":" + file + "{X}\n";
      expected += "dll loading.\n[trace_" + file + " load {L}:{D}]\nname:" + name + "\npath:{D}" +
                  file + "{X}\n";
    } else if (i % 3 == 0) {
      list += name + " : missing" + std::to_string(i) + "{X}\n";
      expected += not_loaded(name, "missing" + std::to_string(i) + "{X}");
    } else {
      list += name + ":echo{X}\n";
      expected += bound(name, "echo");
    }
  }
  folder.write("test.ini", "string:ping\nsaori:m9998\n");
  folder.write("saori.ini", expand(list, folder));
  folder.add_probe("trace_a", "a");
  folder.add_probe("trace_b", "b");
  folder.add_probe("echo", "echo");
  return "saori:\tm9998\nstring:\tping\n\n" +
         expand(expected + exchange("ping", "ping") + "[trace_b unload]\n[trace_a unload]\n",
                folder);
}

std::string overlong_fields(const RunFolder& folder) {
  const std::string longest_name(4095, 'n');
  const std::string o4095(4095, 'o');
  const std::string q4095(4095, 'q');
  const std::string r4095(4095, 'r');
  const std::string a4094(4094, 'a');
  const std::string s4095(4095, 's');
  const std::string u4095(4095, 'u');
  // The piece that does not fit is dropped; the separator is then the next
  // byte, and the path is read from what follows.
  const std::string quoted_rest = std::string(903, 's') + ":t";
  const std::string both_rest = std::string(903, 'u') + ":" + std::string(3191, 'w');
  folder.write("test.ini", "string:long name\nsaori:" + longest_name + "\n");
  folder.write("saori.ini", expand(longest_name + ":echo{X}\n" +                // fits exactly
                                       std::string(4096, 'o') + ":echo{X}\n" +  // one byte over
                                       "p:" + q4095 + "\n" +                    // path fits
                                       "p2:" + std::string(4096, 'r') + "\n" +  // path one over
                                       a4094 + "\x82\xa0:x\n" +  // a two-byte character over
                                       "\"" + std::string(5000, 's') + "\":t\n" +  // in quotes
                                       std::string(5000, 'u') + ":" + std::string(5000, 'w') +
                                       "\n",  // both fields over
                                   folder));
  folder.add_probe("echo", "echo");
  const std::string overflow = "word OVERFLOW!\n";
  return "saori:\t" + longest_name + "\nstring:\tlong name\n\n" +
         expand(bound(longest_name, "echo") + overflow + bound(o4095, "echo") +
                    not_loaded("p", q4095) + overflow + not_loaded("p2", r4095) + overflow +
                    not_loaded(a4094, "x") + overflow + not_loaded(s4095, quoted_rest) + overflow +
                    overflow + not_loaded(u4095, both_rest) + exchange("long name", "long name"),
                folder);
}

std::string files_that_are_no_libraries(const RunFolder& folder) {
  fs::create_directory(folder.path() / "sub");
  folder.write("notes" + RunFolder::module_suffix(), "not a library\n");
  folder.write("empty" + RunFolder::module_suffix(), "");
  folder.add_probe("echo", "whole");
  std::string library = read_file(folder.path() / ("whole" + RunFolder::module_suffix()));
  folder.write("cut" + RunFolder::module_suffix(), library.substr(0, 64));
  std::mt19937 random(7);
  std::string noise(65536, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  folder.write("noise" + RunFolder::module_suffix(), noise);
  folder.write("test.ini", "string:hi\nsaori:text\n");
  folder.write("saori.ini", expand("dir:sub\ndir2:sub{S}\ntext:notes{X}\nempty:empty{X}\n"
                                   "cut:cut{X}\nnoise:noise{X}\n",
                                   folder));
  // The request goes to a record whose library never loaded: it comes back.
  return "saori:\ttext\nstring:\thi\n\n" +
         expand(not_loaded("dir", "sub") + not_loaded("dir2", "sub{S}") +
                    not_loaded("text", "notes{X}") + not_loaded("empty", "empty{X}") +
                    not_loaded("cut", "cut{X}") + not_loaded("noise", "noise{X}") +
                    exchange("hi", "hi"),
                folder);
}

std::string long_list_lines(const RunFolder& folder) {
  // The list is read 32767 bytes at a time; the rest of a longer line comes
  // as lines of its own.
  const std::size_t kRead = 32767;
  const std::string suffix = RunFolder::module_suffix();
  auto padded = [](std::string text, std::size_t size, char filler) {
    text.resize(size, filler);
    return text;
  };
  std::string fits = padded("big:echo" + suffix + ",", kRead - 1, 'y') + "\n";
  std::string one_over = padded("big2:echo" + suffix + ",", kRead, 'y') + "\n";
  std::string huge = padded("huge:echo" + suffix + ",", kRead, 'y') +
                     padded("plant:world" + suffix + ",", kRead, 'x') +
                     std::string(100000 - 2 * kRead - 1, 'x') + "\n";
  folder.write("test.ini", "string:q\nsaori:plant\n");
  folder.write("saori.ini", fits + one_over + huge);
  folder.add_probe("echo", "echo");
  folder.add_probe("world", "world");
  // The third piece of the long line is all x: both fields overflow. The
  // fourth holds 1698 x and the line feed, which is taken as the separator.
  const std::string x4095(4095, 'x');
  return "saori:\tplant\nstring:\tq\n\n" +
         expand(bound("big", "echo") + bound("big2", "echo") + bound("huge", "echo") +
                    bound("plant", "world") + "word OVERFLOW!\nword OVERFLOW!\n" +
                    not_loaded(x4095, x4095) + not_loaded(std::string(1698, 'x'), "") +
                    exchange("q", "world"),
                folder);
}

std::string nul_in_module_list(const RunFolder& folder) {
  using namespace std::string_literals;
  // The line ends at the NUL for the split: the separator is missing, so
  // the path is empty and the full path is the folder itself.
  folder.write("test.ini", "string:hello\nsaori:e\n");
  folder.write("saori.ini", expand("a\0b:echo{X}\ne:echo{X}\n"s, folder));
  folder.add_probe("echo", "echo");
  return "saori:\te\nstring:\thello\n\n" +
         expand(not_loaded("a", "") + bound("e", "echo") + exchange("hello", "hello"), folder);
}

std::string module_list_is_a_directory(const RunFolder& folder) {
  folder.write("test.ini", kEchoSettings);
  fs::create_directory(folder.path() / "saori.ini");
  return "saori:\techo\nstring:\thello\n\n" + kNoList + exchange("hello", "hello");
}

std::string module_list_ends_first(const RunFolder& folder) {
  folder.write("test.ini", kEchoSettings);
  folder.write("saori.ini", expand("\x1A"
                                   "echo:echo{X}\n",
                                   folder));
  folder.add_probe("echo", "echo");
  return "saori:\techo\nstring:\thello\n\n" + exchange("hello", "hello");
}

std::string device_names(const RunFolder& folder) {
  // Names a Windows system reserves for devices: no library, and no wait.
  folder.write("test.ini", kEchoSettings);
  folder.write("saori.ini", "c:CON\nn:NUL\na:AUX\np:PRN\nm:COM1\nl:LPT1\ni:CONIN$\n");
  return "saori:\techo\nstring:\thello\n\n" +
         expand(not_loaded("c", "CON") + not_loaded("n", "NUL") + not_loaded("a", "AUX") +
                    not_loaded("p", "PRN") + not_loaded("m", "COM1") + not_loaded("l", "LPT1") +
                    not_loaded("i", "CONIN$") + exchange("hello", "hello"),
                folder);
}

const HostileCase kModuleListCases[] = {
    {"TenThousandEntries", ten_thousand_entries},
    {"FieldsAtAndBeyondTheLimit", overlong_fields},
    {"FilesThatAreNoLibraries", files_that_are_no_libraries},
    {"DeviceNames", device_names},
    {"LinesOf32767And100000Bytes", long_list_lines},
    {"NulInALine", nul_in_module_list},
    {"ListIsADirectory", module_list_is_a_directory},
    {"EndOfFileMarkFirst", module_list_ends_first},
};

INSTANTIATE_TEST_SUITE_P(ModuleLists, HostileRun, testing::ValuesIn(kModuleListCases), case_name);

// Modules.

// One probe bound as "m" and sent `request`. What is printed: `bind` before
// the record's lines, `during` between request and reply, `reply`, and
// `after` at teardown. Placeholders unexpanded.
std::function<std::string(const RunFolder&)> one_module(
    const std::string& probe, const std::string& request, const std::string& bind,
    const std::string& during, const std::string& reply, const std::string& after) {
  return [=](const RunFolder& folder) {
    folder.write("test.ini", "string:" + request + "\nsaori:m\n");
    folder.write("saori.ini", expand("m:m{X}\n", folder));
    folder.add_probe(probe, "m");
    return expand("saori:\tm\nstring:\t" + request + "\n\n" + bind + "name:m\npath:{D}m{X}\n" +
                      "// request_data//\n" + request + "\n" + during + "// return data //\n" +
                      reply + "\n" + after,
                  folder);
  };
}

const std::string kNoLoad = "load is not export!\n{D}m{X}{F}\n";
const std::string kNoRequest = "request is not export!\n";

std::string load_results_other_than_one(const RunFolder& folder) {
  const char* probes[] = {"load_257", "load_65537", "load_int_max", "load_int_min"};
  std::string list;
  std::string expected;
  for (const char* probe : probes) {
    list += std::string(probe) + ":" + probe + "{X}\n";
    expected += "dll loading.\n[" + std::string(probe) + " load {L}:{D}]\n{D}" + probe +
                "{X}{F}\nname:" + probe + "\npath:{D}" + probe + "{X}\n";
    folder.add_probe(probe, probe);
  }
  folder.write("test.ini", "string:q\nsaori:load_int_min\n");
  folder.write("saori.ini", expand(list, folder));
  // None is bound, so none is unloaded; the request still reaches the first
  // record of the name.
  return expand("saori:\tload_int_min\nstring:\tq\n\n" + expected +
                    "// request_data//\nq\n[load_int_min request 1]\n// return data //\nq\n",
                folder);
}

std::string flood_during_load(const RunFolder& folder) {
  folder.write("test.ini", "string:hi\nsaori:f\n");
  folder.write("saori.ini", expand("f:f{X}\n", folder));
  folder.add_probe("load_flood", "f");
  std::string line;
  const char symbols[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  for (int i = 0; i < 99; ++i) line += symbols[i % 62];
  std::string flood = repeat(line + "\n", 41944);
  flood.resize(4194304);
  return "saori:\tf\nstring:\thi\n\n" + expand("dll loading.\n", folder) + flood +
         expand("name:f\npath:{D}f{X}\n" + exchange("hi", "hi"), folder);
}

const std::string k40Bytes = "0123456789012345678901234567890123456789";

const HostileCase kModuleCases[] = {
    {"OnlyUnloadExported", one_module("no_load_request", "q", kNoLoad, kNoRequest, "q", "")},
    {"OnlyRequestExported",
     one_module("no_load_unload", "q", kNoLoad, "[no_load_unload request 1]\n", "q", "")},
    {"OnlyLoadExported",
     one_module("no_request_unload", "q", "dll loading.\n[no_request_unload load {L}:{D}]\n",
                kNoRequest, "q", "")},
    {"NothingExported", one_module("no_exports", "q", kNoLoad, kNoRequest, "q", "")},
    {"LoadResultsOtherThanOne", load_results_other_than_one},
    {"FourMebibytesPrintedDuringLoad", flood_during_load},
    {"ReplyIsTheRequestBlock",
     one_module("reply_in_place", "in place", "dll loading.\n[reply_in_place load {L}:{D}]\n",
                "[reply_in_place request 8]\n", "in place", "[reply_in_place unload]\n")},
    {"ReplyStartsWithNul", one_module("reply_leading_nul", "q", "dll loading.\n", "", "", "")},
    {"NullReplyClaimingBytes", one_module("reply_null_long", "q", "dll loading.\n", "", "", "")},
    {"NullReplyWithNegativeLength",
     one_module("reply_null_negative", "q", "dll loading.\n", "", "", "")},
    {"LengthLongMaxIsCutToTheBlock",
     one_module("length_long_max", "q", "dll loading.\n", "", "abcdefghijklmnopqrstuvwx", "")},
    {"LengthLongMinIsEmpty", one_module("length_long_min", "q", "dll loading.\n", "", "", "")},
    {"LengthOneByteOverTheBlock",
     one_module("length_one_over", "q", "dll loading.\n", "", "abcdefghijklmnopqrstuvwx", "")},
    {"UnwrittenLengthLongerThanTheReply",
     one_module("length_unwritten_long", k40Bytes, "dll loading.\n", "", "0123456789abcdefghijklmn",
                "")},
};

INSTANTIATE_TEST_SUITE_P(Modules, HostileRun, testing::ValuesIn(kModuleCases), case_name);

// Bytes at random, a fixed seed each. What the report holds is not known
// here; what is: the run ends normally, lines planted before and after the
// noise are read, nothing after the 0x1A mark is, and the report ends with
// its empty line right before the module section.
TEST(HostileSettings, RandomBytes) {
  const std::string syntax = std::string("\"\\,: \t\r\n#akvDICT\x81\x9f\xe0\xfc\x5c") + '\0';
  struct Noise {
    const char* name;
    std::string alphabet;  // empty: any byte but 0x1A
  };
  for (const Noise& noise : {Noise{"any byte", ""}, Noise{"syntax bytes", syntax}}) {
    SCOPED_TRACE(noise.name);
    std::mt19937 random(20261209);
    std::string bytes(1 << 20, '\0');
    for (char& c : bytes) {
      unsigned value = random();
      c = noise.alphabet.empty() ? static_cast<char>(value)
                                 : noise.alphabet[value % noise.alphabet.size()];
      if (c == '\x1A') c = '\x1B';
    }
    RunFolder folder;
    folder.write("test.ini", "aa_head:head\n" + bytes + "\nzz_tail:tail\n\x1Azz_after:lost\n");
    std::string output = run_tool(folder);
    EXPECT_NE(output.find("aa_head:\thead\n"), std::string::npos);
    EXPECT_NE(output.find("zz_tail:\ttail\n"), std::string::npos);
    EXPECT_EQ(output.find("zz_after"), std::string::npos);
    const std::string end = "\n\n" + kNoList + exchange("", "");
    ASSERT_GE(output.size(), end.size());
    EXPECT_EQ(escaped(output.substr(output.size() - end.size())), escaped(end));
  }
}

// A file that opens but never ends, or never opens, is not read: a FIFO with
// no writer, and /dev/zero. POSIX only. Were they read, the run would hang:
// `timeout` turns that into a failure.
TEST(HostileSettings, SpecialFilesAreNotRead) {
  if (RunFolder::under_wine()) GTEST_SKIP() << "FIFOs and /dev/zero are POSIX files";
  const std::string hang_guard = "timeout 120";
  RunFolder folder;
  ASSERT_EQ(mkfifo((folder.path() / "test.ini").c_str(), 0644), 0) << std::strerror(errno);
  folder.write("velmar.ini", "string:v\nsaori:m\n");
  fs::create_symlink("/dev/zero", folder.path() / "saori.ini");
  expect_same_output(run_tool(folder, hang_guard),
                     "saori:\tm\nstring:\tv\n\n" + kNoList + exchange("v", "v"));

  fs::remove(folder.path() / "saori.ini");
  ASSERT_EQ(mkfifo((folder.path() / "m.so").c_str(), 0644), 0) << std::strerror(errno);
  folder.write("saori.ini", "m:m.so\n");
  expect_same_output(
      run_tool(folder, hang_guard),
      "saori:\tm\nstring:\tv\n\n" + expand(not_loaded("m", "m.so"), folder) + exchange("v", "v"));
}

// A test.ini that cannot be read is passed over for velmar.ini. Root reads
// any file, so as root the tool runs as nobody; under Wine as root there is
// no such way (Wine refuses a prefix another user owns), so that run skips.
TEST(HostileSettings, UnreadableTestIni) {
  bool root = geteuid() == 0;
  if (root && RunFolder::under_wine()) {
    GTEST_SKIP() << "as root, which reads any file, and Wine cannot run as another user";
  }
  RunFolder folder;
  folder.write("test.ini", "string:from test.ini\n");
  folder.write("velmar.ini", "string:from velmar.ini\n");
  fs::permissions(folder.path() / "test.ini", fs::perms::none);
  std::string prefix;
  if (root) {
    fs::permissions(folder.path(), fs::perms::owner_all | fs::perms::group_read |
                                       fs::perms::group_exec | fs::perms::others_read |
                                       fs::perms::others_exec);
    prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups";
  }
  expect_same_output(run_tool(folder, prefix), "string:\tfrom velmar.ini\n\n" + kNoList +
                                                   exchange("from velmar.ini", "from velmar.ini"));
}

}  // namespace
