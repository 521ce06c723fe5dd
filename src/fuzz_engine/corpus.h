#pragma once

// The requests a fuzz loop mutates from: its seeds, and after them every
// request that reached new coverage, each once.

#include <cstddef>
#include <set>
#include <string>
#include <vector>

class Corpus {
 public:
  // Requests past this many are not kept: a module that finds every
  // request new (a counter in the edges, say) would otherwise fill memory.
  static constexpr std::size_t kMostRequests = 4096;

  explicit Corpus(const std::vector<std::string>& seeds);

  // Keeps `request` unless it is held already or the corpus is full;
  // whether it was kept.
  bool keep(const std::string& request);
  const std::vector<std::string>& requests() const { return requests_; }

 private:
  std::vector<std::string> requests_;
  std::set<std::string> held_;
};
