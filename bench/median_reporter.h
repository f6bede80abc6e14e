#pragma once
// The console table as usual, and per benchmark name the run to quote in a
// summary: the median of the repetitions when there are any, else the first
// run. Benchmarks that print ratios against a peer derive from it and read the
// quoted runs in Finalize().

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace tallowin {

class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if ((run.run_type != Run::RT_Iteration && !median) || run.error_occurred) continue;
      const std::string name = run.run_name.function_name;
      if (median || !medianSeen_[name]) quoted_.insert_or_assign(name, run);
      if (median) medianSeen_[name] = true;
    }
  }

 protected:
  const std::map<std::string, Run>& QuotedRuns() const { return quoted_; }
  // Seconds per iteration (real, or CPU) of the quoted run of `name`; 0 when it did not run.
  double RealSeconds(const std::string& name) const {
    const auto it = quoted_.find(name);
    return it == quoted_.end() ? 0 : it->second.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(it->second.time_unit);
  }
  double CpuSeconds(const std::string& name) const {
    const auto it = quoted_.find(name);
    return it == quoted_.end() ? 0 : it->second.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(it->second.time_unit);
  }

 private:
  std::map<std::string, Run> quoted_;
  std::map<std::string, bool> medianSeen_;
};

}  // namespace tallowin
