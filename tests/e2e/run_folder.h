#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// A throw-away folder laid out as a user would: the tool, its ini files and
// the probe modules it lists. The tool is copied, not linked, because it
// finds its files beside its own resolved path.
class RunFolder {
 public:
  RunFolder();
  ~RunFolder();
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  void write(const std::string& name, const std::string& bytes) const;
  // Copies probe `probe` (built as probes/<probe><suffix>) to `destination`,
  // a path relative to the folder without the suffix.
  void add_probe(const std::string& probe, const std::string& destination) const;
  // The same from the other Windows build's probes (--other-probes): a
  // module of the other bitness.
  void add_other_probe(const std::string& probe, const std::string& destination) const;
  // The tool's copy in the folder.
  std::filesystem::path tool() const;

  // Runs the tool in the folder; returns its standard output, and its exit
  // code in `exit_code`. `prefix` goes in front of the whole command line,
  // for example to run the tool as another user.
  std::string run(int& exit_code, const std::string& prefix = "") const;

  // Everything a run leaves: exit code, standard output and standard error.
  struct Result {
    int exit_code;
    std::string out;
    std::string err;
  };
  // Runs the tool with `arguments` (words for the shell, quoted as needed)
  // and `environment` (assignments such as "MODTEST_TIMEOUT=1") in front.
  Result run_with(const std::string& arguments, const std::string& environment = "") const;

  // Starts the tool with `arguments`, its standard input a pipe the caller
  // writes to and hands to finish(), which waits for the end. Standard
  // output and standard error go to files, read as they grow by
  // output_so_far() (its exit code is -1).
  std::FILE* start_with_input(const std::string& arguments) const;
  Result output_so_far() const;
  Result finish(std::FILE* input) const;

  // How the tool spells the folder: the directory it reports, ending in its
  // separator, and the suffix of a module library.
  std::string tool_directory() const;
  static char separator();
  static std::string module_suffix();
  static bool under_wine();
  static bool under_memory_checker();
  static bool has_other_probes();

 private:
  Result launch(const std::string& prefix, const std::string& arguments) const;
  std::string command(const std::string& prefix, const std::string& arguments) const;
  Result collect(int status) const;
  void copy_wrapper() const;

  std::filesystem::path path_;
};

// Takes --tool FILE, --probes FOLDER and, for a Windows build, --runner wine
// and --other-probes FOLDER, the probes of the other bitness. --wrapper FILE
// puts a script in front of a native tool, such as a memory checker (the
// run then fails unless it exits 0), and --wrapper-file FILE names a file it
// reads from its own folder; both are copied into every run's folder, where
// a run as another user reaches them wherever the build lies.
void configure_runs(int argc, char** argv);

std::string read_file(const std::filesystem::path& path);
