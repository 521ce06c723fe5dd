#include "fuzz_engine/corpus.h"

Corpus::Corpus(const std::vector<std::string>& seeds)
    : requests_(seeds), held_(seeds.begin(), seeds.end()) {}

bool Corpus::keep(const std::string& request) {
  if (requests_.size() >= kMostRequests || !held_.insert(request).second) return false;
  requests_.push_back(request);
  return true;
}
