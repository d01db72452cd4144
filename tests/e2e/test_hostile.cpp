// Hostile bytes: NUL bytes and bytes above 0x7F in every input, and lines
// that end in lone carriage returns.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.hpp"
#include "results_file.hpp"
#include "robust_support.hpp"
#include "run_check.hpp"

namespace e2e {
namespace {

using namespace std::string_literals;

// A "Final WSS" line with any bytes as characters 14 to 27.
std::string raw_wss_line(const std::string& field) {
  return " Final WSS = " + std::string(14 - field.size(), ' ') + field +
         "  (weighted sum of squares)";
}

TEST(HostileBytes, ResultsLinesAreCopiedByteForByte) {
  Sandbox box;
  Results r;
  r.header()
      .line("nul\0inside"s)
      .line(std::string(90, '\0'))
      .line("\xC3\xA9t\xE9 \xFF\x80\x7F")
      .line("ends in a nul\0"s)
      .fit("12.5");
  box.write("run1.OUT", r.text());
  expect_run(
      box, {"run1", "5"}, "\n",
      {.out = one_fit_screen(),
       .files = {{"BEST.OUT", records(r.text())},
                 {"WexlaP.OUT", kModelHeading + " (001) WSS =" + k12_5 + "\n" + summary_block()}}});
}

TEST(HostileBytes, KeysBrokenByANulDoNotMatch) {
  // A header and a model heading with a NUL in place of a blank are
  // ordinary lines: one section, one fit.
  Sandbox box;
  Results r;
  r.header().fit("12.5").line("").line("1 FINAL OUTPUT FROM\0Kalvor"s).line(wss_line("5"));
  for (int i = 0; i < 7; ++i) r.line("");
  r.line(" Model and\0Parameter Definition"s);
  box.write("run1.OUT", r.text());
  expect_run(box, {"run1", "5"}, "\n",
             {.out = one_fit_screen(), .files = {{"BEST.OUT", records(r.text())}}});
}

TEST(HostileBytes, NulOrHighByteInTheWssFieldEndsTheRun) {
  for (const std::string& field : {"12\0"s, "\0"s, "1\xB2"s, "\xEF\xBC\x91"s, "12.5\xA0"s}) {
    Sandbox box;
    Results r;
    r.header().line(raw_wss_line(field));
    for (int i = 0; i < 7; ++i) r.line("");
    r.line(kModelHeading);
    std::string read_part = r.text();
    r.line(" THETA(1) 1.0").line("");
    box.write("run1.OUT", r.text());
    box.write("BEST.OUT", "earlier best\n");
    box.write("WexlaP.OUT", "earlier summary\n");
    // Every line up to the model heading is in the scratch file, whole;
    // the other files are as they were.
    expect_run(box, {"run1", "5"}, "\n",
               {.status = 2,
                .out = banner() + table_heading(),
                .report = report("fit_scan.cpp", "Bad value during floating point read"),
                .files = {{"temp.OUT", records(read_part)},
                          {"BEST.OUT", "earlier best\n"},
                          {"WexlaP.OUT", "earlier summary\n"},
                          {"run1.OUT", r.text()}},
                .what = "field of " + std::to_string(field.size()) + " bytes"});
  }
}

struct TypedName {
  std::string typed;
  std::string file;    // made in the folder; empty: none
  std::string screen;  // what stands between the first prompt and the percentage prompt
};

TEST(HostileBytes, TypedNamesWithNulAndHighBytes) {
  const TypedName cases[] = {
      // A name cut at its NUL would find the file "run".
      {"run\0x"s, "", missing("run\0x.OUT"s) + kNamePrompt},
      {"run\0.OUT"s, "", missing("run\0.OUT"s) + kNamePrompt},
      {"\xE9t\xE9", "\xE9t\xE9.OUT", ""},
      {"caf\xC3\xA9.txt", "caf\xC3\xA9.OUT", ""},
      {"\xFF\xFE", "\xFF\xFE.OUT", ""},
  };
  for (const TypedName& c : cases) {
    Sandbox box;
    box.write("run", Results().section("12.5").text());
    box.write("run1.OUT", "no fits\n");
    if (!c.file.empty()) box.write(c.file, "no fits\n");
    // After a refused name, run1 is typed.
    std::string input = c.typed + "\n" + (c.file.empty() ? "run1\n" : "") + "5\n\n";
    expect_run(box, {}, input,
               {.out = banner() + kNamePrompt + c.screen + kPercentPrompt + table_heading() +
                       screen_tail("  5.00    ", 0)});
  }
}

TEST(HostileBytes, TypedPercentagesWithNulAndHighBytesAreRefused) {
  for (const std::string& typed : {"5\0"s, "\0"s, "\xC2\xBD"s, "5\xA0"s, std::string(200, '\0')}) {
    Sandbox box;
    box.write("run1.OUT", "no fits\n");
    expect_run(box, {"run1"}, typed + "\n\n",
               {.status = 2,
                .out = banner() + kPercentPrompt,
                .report = report("dialogue.cpp (unit = 5, file = 'stdin')",
                                 "Bad value during floating point read"),
                .files = {{"temp.OUT", kAbsent}, {"WexlaP.OUT", kAbsent}}});
  }
}

TEST(HostileBytes, BytesAfterTheFourteenthCharacterAreNotRead) {
  Sandbox box;
  box.write("run1.OUT", "no fits\n");
  expect_run(box, {"run1"}, "00000000000005\0\xFF tail\n\n"s,
             {.out = banner() + kPercentPrompt + table_heading() + screen_tail("  5.00    ", 0),
              .what = "typed"});
  expect_run(box, {"run1", "00000000000005\xFF tail"}, "\n",
             {.out = no_fit_screen(), .what = "argument"});
}

TEST(HostileBytes, ArgumentsWithHighBytes) {
  // Arguments cannot hold a NUL: the system ends each at its first one.
  Sandbox box;
  box.write("\xE9t\xE9.OUT", Results().section("12.5").text());
  expect_run(box, {"\xE9t\xE9", "5"}, "\n", {.out = one_fit_screen()});
  for (const char* percent : {"5\xA0", "\xFF", "\xEF\xBC\x95"}) {
    Sandbox refused;
    refused.write("run1.OUT", "no fits\n");
    expect_run(refused, {"run1", percent}, "\n",
               {.status = 2,
                .out = banner(),
                .report = report("dialogue.cpp", "Bad value during floating point read")});
  }
}

TEST(HostileBytes, FinalAnswerIsNotUsed) {
  Sandbox box;
  box.write("run1.OUT", Results().section("12.5").text());
  expect_run(box, {"run1", "5"}, "\0\xFF\x80 $(touch pwned)"s + std::string(5000, '\0'),
             {.out = one_fit_screen(), .files = {{"pwned", kAbsent}}});
}

struct LineEnds {
  const char* what;
  std::string text;
  std::vector<std::string> lines;  // the lines the scan reads
};

TEST(HostileLineEnds, LoneCarriageReturns) {
  const std::string l85(85, 'L'), l80(80, 'M'), l79(79, 'N');
  const LineEnds cases[] = {
      {"lone CRs", "a\rb\rc", {"a", "b", "c"}},
      {"CR before CR LF", "a\r\r\nb", {"a", "", "b"}},
      {"LF before CR", "a\n\rb\r", {"a", "", "b"}},
      {"only CRs", "\r\r\r", {"", "", ""}},
      {"CR LF pairs only", "\r\n\r\n", {"", ""}},
      {"CR LF then LF", "a\r\n\n", {"a", ""}},
      {"CR at the end", "a\r", {"a"}},
      // A line of 80 or more characters ends only at a line feed: the lone
      // CRs after it are skipped with the rest of the line.
      {"long line and CRs", l85 + "\rb\rc\nd", {l85, "d"}},
      {"80 characters and a CR", l80 + "\rb\nc", {l80, "c"}},
      {"79 characters and a CR", l79 + "\rb\nc", {l79, "b", "c"}},
  };
  for (const LineEnds& c : cases) {
    Sandbox box;
    log_commands(box, false);
    box.write("run1.OUT", c.text);
    std::string expected;
    for (const std::string& line : c.lines) expected += record80(line);
    expect_run(box, {"run1", "5"}, "\n",
               {.out = no_fit_screen(), .files = {{"temp.OUT", expected}}, .what = c.what});
  }
}

TEST(HostileLineEnds, FitsInAFileOfLoneCarriageReturns) {
  // The fit's model heading follows a long line ended by a lone CR, so it
  // is skipped with that line: no fit. The same file with CR LF has one.
  Results r;
  r.header().line(wss_line("12.5"));
  for (int i = 0; i < 6; ++i) r.line("");
  r.line(std::string(81, '=')).line(kModelHeading).line(" THETA(1)").line("");
  std::string lf = r.text();
  std::string cr, crlf;
  for (char c : lf) {
    cr += c == '\n' ? "\r"s : std::string(1, c);
    crlf += c == '\n' ? "\r\n"s : std::string(1, c);
  }
  Sandbox box;
  box.write("cr.OUT", cr);
  box.write("crlf.OUT", crlf);
  expect_run(box, {"cr", "5"}, "\n", {.out = no_fit_screen(), .what = "CR"});
  expect_run(box, {"crlf", "5"}, "\n", {.out = one_fit_screen(), .what = "CR LF"});
}

}  // namespace
}  // namespace e2e
