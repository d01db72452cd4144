// Results files built from the layout the scanner relies on.
#include "results_file.hpp"

#include <cstdio>

namespace e2e {

const std::string kModelHeading = " Model and Parameter Definition   (final estimates)";

namespace {

const std::string kRule = " --------------------------------------------";
const std::string kColumns = " Parameter         Estimate        Std. error";

std::string parameter_line(int k) {
  char text[96];
  std::snprintf(text, sizeof text, " THETA(%d) (CL%d)      %8.4f          %6.4f", k, k,
                1.0 + k * 0.25, 0.01 * k);
  return text;
}

}  // namespace

std::string wss_line(const std::string& field) {
  char text[128];
  std::snprintf(text, sizeof text, " Final WSS = %14s  (weighted sum of squares)", field.c_str());
  return text;
}

std::string record80(const std::string& text) {
  std::string record = text.substr(0, 80);
  record.resize(80, ' ');
  return record + "\n";
}

std::string records(const std::string& text) {
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t nl = text.find('\n', at);
    if (nl == std::string::npos) nl = text.size();
    out += record80(text.substr(at, nl - at));
    at = nl + 1;
  }
  return out;
}

std::string summary_block(int parameters) {
  std::string block;
  auto add = [&](const std::string& line) {
    std::string cut = line.substr(0, 38);
    cut.resize(38, ' ');
    block += cut + "\n";
  };
  add(kRule);
  add(kColumns);
  for (int k = 1; k <= parameters; ++k) add(parameter_line(k));
  add(kRule);
  return block;
}

Results& Results::line(const std::string& text) {
  text_ += text + "\n";
  ++lines_;
  return *this;
}

Results& Results::header() {
  line("1           FINAL OUTPUT FROM Kalvor  --  nonlinear regression  (v7.2)");
  return line(" ==============================================================================");
}

Results& Results::fit(const std::string& wss_text, int parameters) {
  line(wss_line(wss_text));
  line(" Iterations  =     14");
  line(" Converged   =    yes");
  line(" Condition number of the information matrix =  4.21E+03");
  line("");
  line(" Covariance step completed");
  line(" Objective function history follows below the parameter table");
  line(" ");
  line(kModelHeading);
  line(kRule);
  line(kColumns);
  for (int k = 1; k <= parameters; ++k) line(parameter_line(k));
  return line(kRule);
}

Results& Results::closing() {
  line(" MAE  =  0.0412    RMSE =  0.0533    R2 =  0.981");
  return line(" End of goodness-of-fit statistics");
}

Results& Results::section(const std::string& wss_text) {
  header();
  line(" Data file: synthetic.dat        Subjects: 24       Observations: 312");
  line("");
  fit(wss_text);
  line("");
  closing();
  return line("");
}

}  // namespace e2e
