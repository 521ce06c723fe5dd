#include "run_folder.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

// Where the tool and the probes were built, the program that runs a
// Windows build (empty for a native one), the probes of the other Windows
// build, and the script that wraps a native one with the file it reads;
// given on the command line.
std::string tool_file;
std::string probe_folder;
std::string other_probe_folder;
std::string runner;
std::string wrapper;
std::string wrapper_file;

// The wrapper's copy lives in a folder of its own inside the run's folder.
const char* const kWrapperFolder = "wrapper";

const std::string& setting(const std::string& value, const char* flag) {
  if (value.empty()) throw std::runtime_error(std::string(flag) + " was not given");
  return value;
}

std::string quoted(const std::string& text) {
  return "'" + text + "'";
}

}  // namespace

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void configure_runs(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string flag = argv[i];
    if (flag == "--tool") tool_file = argv[i + 1];
    if (flag == "--probes") probe_folder = argv[i + 1];
    if (flag == "--runner") runner = argv[i + 1];
    if (flag == "--wrapper") wrapper = argv[i + 1];
    if (flag == "--wrapper-file") wrapper_file = argv[i + 1];
    if (flag == "--other-probes") other_probe_folder = argv[i + 1];
  }
}

bool RunFolder::under_wine() {
  return !runner.empty();
}

bool RunFolder::under_memory_checker() {
  return !under_wine() && !wrapper.empty();
}

bool RunFolder::has_other_probes() {
  return !other_probe_folder.empty();
}

char RunFolder::separator() {
  return under_wine() ? '\\' : '/';
}

std::string RunFolder::module_suffix() {
  return under_wine() ? ".dll" : ".so";
}

RunFolder::RunFolder() {
  std::string pattern = (fs::temp_directory_path() / "modtest-e2e-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  fs::path tool = setting(tool_file, "--tool");
  fs::copy_file(tool, path_ / tool.filename());
  if (!under_wine() && !wrapper.empty()) copy_wrapper();
}

void RunFolder::copy_wrapper() const {
  // Readable and runnable by anyone, whatever the umask or the modes of the
  // originals.
  const fs::perms everyone_reads = fs::perms::owner_read | fs::perms::owner_write |
                                   fs::perms::group_read | fs::perms::others_read;
  const fs::perms everyone_runs =
      everyone_reads | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
  const fs::path folder = path_ / kWrapperFolder;
  fs::create_directory(folder);
  fs::permissions(folder, everyone_runs);
  const fs::path script = folder / fs::path(wrapper).filename();
  fs::copy_file(wrapper, script);
  fs::permissions(script, everyone_runs);
  if (!wrapper_file.empty()) {
    const fs::path file = folder / fs::path(wrapper_file).filename();
    fs::copy_file(wrapper_file, file);
    fs::permissions(file, everyone_reads);
  }
}

RunFolder::~RunFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void RunFolder::write(const std::string& name, const std::string& bytes) const {
  fs::create_directories((path_ / name).parent_path());
  std::ofstream(path_ / name, std::ios::binary) << bytes;
}

void RunFolder::add_probe(const std::string& probe, const std::string& destination) const {
  fs::path target = path_ / (destination + module_suffix());
  fs::create_directories(target.parent_path());
  fs::copy_file(fs::path(setting(probe_folder, "--probes")) / (probe + module_suffix()), target);
}

void RunFolder::add_other_probe(const std::string& probe, const std::string& destination) const {
  fs::path target = path_ / (destination + module_suffix());
  fs::create_directories(target.parent_path());
  fs::copy_file(fs::path(setting(other_probe_folder, "--other-probes")) / (probe + module_suffix()),
                target);
}

fs::path RunFolder::tool() const {
  return path_ / fs::path(setting(tool_file, "--tool")).filename();
}

std::string RunFolder::tool_directory() const {
  if (!under_wine()) return path_.string() + "/";
  // Wine shows the Unix root as drive Z:.
  std::string directory = "Z:" + path_.string() + "\\";
  for (char& c : directory) {
    if (c == '/') c = '\\';
  }
  return directory;
}

std::string RunFolder::command(const std::string& prefix, const std::string& arguments) const {
  // Output goes to files: a Wine server keeps a pipe open long after the
  // program has ended.
  std::string command = "cd " + quoted(path_.string()) + " && ";
  if (!prefix.empty()) command += prefix + " ";
  if (under_wine()) command += runner + " ";
  if (!under_wine() && !wrapper.empty()) {
    command += quoted((path_ / kWrapperFolder / fs::path(wrapper).filename()).string()) + " ";
  }
  command += "./" + tool().filename().string();
  if (!arguments.empty()) command += " " + arguments;
  return command + " > stdout.txt 2> stderr.txt";
}

RunFolder::Result RunFolder::collect(int status) const {
  Result result = output_so_far();
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  fs::remove(path_ / "stdout.txt");
  fs::remove(path_ / "stderr.txt");
  return result;
}

RunFolder::Result RunFolder::launch(const std::string& prefix, const std::string& arguments) const {
  return collect(std::system(command(prefix, arguments).c_str()));
}

std::FILE* RunFolder::start_with_input(const std::string& arguments) const {
  std::FILE* input = popen(command("", arguments).c_str(), "w");
  if (input == nullptr) throw std::runtime_error("popen failed");
  return input;
}

RunFolder::Result RunFolder::output_so_far() const {
  return Result{-1, read_file(path_ / "stdout.txt"), read_file(path_ / "stderr.txt")};
}

RunFolder::Result RunFolder::finish(std::FILE* input) const {
  return collect(pclose(input));
}

std::string RunFolder::run(int& exit_code, const std::string& prefix) const {
  Result result = launch(prefix, "");
  exit_code = result.exit_code;
  // What a wrapper or a crash left there says why the run failed.
  if (exit_code != 0) std::cerr << result.err;
  return result.out;
}

RunFolder::Result RunFolder::run_with(const std::string& arguments,
                                      const std::string& environment) const {
  return launch(environment, arguments);
}
