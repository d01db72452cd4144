// Checks a finished run against what it must show.
#include "run_check.hpp"

#include <gtest/gtest.h>

namespace e2e {

const std::string kAbsent = "<absent>";
const std::string kPresent = "<present>";

RunResult expect_run(const Sandbox& box, const std::vector<std::string>& args,
                     const RunOptions& options, const Expect& expect, const char* file, int line) {
  RunResult r = box.run(args, options);
  check_run(box, r, expect, file, line);
  return r;
}

RunResult expect_run(const Sandbox& box, const std::vector<std::string>& args,
                     const std::string& input, const Expect& expect, const char* file, int line) {
  RunOptions options;
  options.input = input;
  return expect_run(box, args, options, expect, file, line);
}

void check_run(const Sandbox& box, const RunResult& r, const Expect& expect, const char* file,
               int line) {
  testing::ScopedTrace trace(file, line, expect.what);
  EXPECT_EQ(r.status, expect.status) << r.err;
  if (expect.out) {
    EXPECT_EQ(r.out, *expect.out);
  }
  if (expect.err) {
    EXPECT_EQ(r.err, *expect.err);
  }
  if (expect.report) {
    std::string err = normalize_report(r.err);
    const std::string& end = *expect.report;
    if (err.size() < end.size() || err.compare(err.size() - end.size(), end.size(), end) != 0) {
      // Shown whole, so that the difference is plain.
      EXPECT_EQ(err, end);
    } else {
      std::string before = err.substr(0, err.size() - end.size());
      if (expect.said.empty()) {
        EXPECT_EQ(before, "") << "before the report";
      }
      for (const Said& said : expect.said) {
        EXPECT_TRUE(said.found(before)) << said.what << "\n" << before;
      }
    }
  }
  for (const auto& [name, content] : expect.files) {
    if (content == kAbsent) {
      EXPECT_FALSE(box.exists(name)) << name;
    } else if (content == kPresent) {
      EXPECT_TRUE(box.exists(name)) << name;
    } else {
      EXPECT_EQ(box.read(name), content) << name;
    }
  }
}

}  // namespace e2e
