// Builds results files from the layout the scanner relies on: section
// headers, "Final WSS" lines with the WSS in characters 14 to 27, model
// headings eight lines below them, parameter blocks and closing statistics.
#pragma once

#include <string>

namespace e2e {

class Results {
 public:
  // Any line, as it stands.
  Results& line(const std::string& text);
  // A section header: "FINAL OUTPUT FROM Kalvor" with text around it, and
  // a rule line under it.
  Results& header();
  // A whole fit: the "Final WSS" line with `wss_text` right-justified in
  // characters 14 to 27, seven lines, the model heading, and a parameter
  // block of `parameters` lines holding ")" between two rule lines.
  Results& fit(const std::string& wss_text, int parameters = 3);
  // Closing statistics: a line holding "MAE  =" and one more line, so that
  // a header directly after them stands two lines below "MAE  =".
  Results& closing();
  // A whole section: header, some lines, one fit, closing statistics and
  // an empty line (so the next header does not stand two below them).
  Results& section(const std::string& wss_text);

  const std::string& text() const { return text_; }
  int lines() const { return lines_; }

 private:
  std::string text_;
  int lines_ = 0;
};

// The "Final WSS" line for a 14-character WSS field.
std::string wss_line(const std::string& field);
// The lines a fit adds to a parameter summary, after its heading.
std::string summary_block(int parameters = 3);
// The model heading line that `fit` writes.
extern const std::string kModelHeading;

// An 80-character record: the text cut or blank-padded, and a line feed.
std::string record80(const std::string& text);
// The scratch records of a text: every line (ending at a line feed) as an
// 80-character record.
std::string records(const std::string& text);

}  // namespace e2e
