// Writes a large synthetic results file for the benchmarks, made from the
// layout the scanner relies on: section headers, "Final WSS" lines with the
// WSS in characters 14 to 27, the model heading eight lines below, a
// parameter block of ")" lines, a long residual table and the closing
// statistics ("MAE  ="). Lines are 60 to 100 characters, so some are longer
// than the 80 the scanner keeps.
//
//   make_results SIZE FILE [FITS]    SIZE in bytes, or with K, M or G
//   make_results --one-line SIZE FILE
//   make_results --bytes SIZE        prints SIZE in bytes
//
// --one-line writes a single line of SIZE bytes (and its line feed), which
// holds no key: the scanner keeps 80 characters of it and skips the rest.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A small fixed-seed generator, so that every file of a size is the same.
struct Random {
  std::uint64_t state = 0x9E3779B97F4A7C15u;
  std::uint32_t next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<std::uint32_t>(state >> 11);
  }
  double unit() { return next() / 4294967296.0; }  // [0, 1)
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
};

// Output in large blocks; counts the bytes written.
struct Sink {
  std::FILE* file;
  std::uint64_t written = 0;
  void line(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fputc('\n', file);
    written += text.size() + 1;
  }
};

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
  char text[256];
  va_list args;
  va_start(args, pattern);
  std::vsnprintf(text, sizeof text, pattern, args);
  va_end(args);
  return text;
}

// Pads or cuts to `length` with a tail of comment text, so that table rows
// have the varied lengths of a real listing.
std::string fit_length(std::string text, std::size_t length) {
  static const std::string kTail =
      "   obs flagged: none   weight 1.000   dv CP   cmt 2   evid 0   mdv 0   blq 0   "
      "occ 1   study 42   ";
  while (text.size() < length) text += kTail.substr(0, length - text.size());
  text.resize(length);
  return text;
}

// A pool of residual-table rows of 60 to 100 characters, drawn from at random.
std::vector<std::string> residual_rows(Random& random) {
  std::vector<std::string> rows;
  for (int i = 0; i < 4096; ++i) {
    double t = 0.25 * (i % 97);
    double observed = 12.0 * random.unit() + 0.5;
    double predicted = observed * (0.9 + 0.2 * random.unit());
    std::string row = format("   %6.2f    %9.3f   %9.3f      %8.3f   %7.4f", t, observed, predicted,
                             (observed - predicted) / 0.35, random.unit());
    rows.push_back(fit_length(row, 60 + static_cast<std::size_t>(random.below(41))));
  }
  return rows;
}

void write_section(Sink& out, Random& random, const std::vector<std::string>& rows, int fit,
                   int fits, std::uint64_t budget) {
  std::uint64_t start = out.written;
  const std::string rule(93, '-');
  out.line(format("1                    FINAL OUTPUT FROM Kalvor  --  estimation step %d of %d",
                  fit, fits));
  out.line(" " + std::string(99, '='));
  out.line(" Subjects: 24     Observations: 312     Model: ADVAN3 TRANS4     Method: FOCE");
  out.line(" ");
  // Random WSS values give a best fit that improves a handful of times.
  float wss = static_cast<float>(1000.0 + 1000.0 * random.unit());
  out.line(format(" Final WSS = %14.3f   (weighted sum of squares, %d function evaluations)",
                  static_cast<double>(wss), 150 + random.below(200)));
  out.line(format(" Minimization successful after %d iterations", 8 + random.below(20)));
  out.line(" Number of significant digits:  3.1");
  out.line(" Condition number of the information matrix = 1.234E+03");
  out.line(" ");
  out.line(" Gradient at the final estimates: 3.24E-04  1.51E-04  6.51E-04");
  out.line(" Covariance step completed");
  out.line(" ");
  out.line(format(" Model and Parameter Definition      (fit %d)", fit));
  out.line(" " + rule);
  out.line(" Parameter          Estimate      Std. error     RSE (%)     95% confidence interval");
  static const char* const kNames[] = {"CL", "V1", "Q", "V2", "KA", "F1"};
  int parameters = 3 + random.below(4);
  for (int k = 0; k < parameters; ++k) {
    double estimate = 20.0 * random.unit() + 0.5;
    double error = estimate * (0.05 + 0.1 * random.unit());
    out.line(format(" THETA(%d) (%s)      %9.4f     %9.4f        %4.1f      (%9.4f, %9.4f)", k + 1,
                    kNames[k], estimate, error, 100.0 * error / estimate, estimate - 1.96 * error,
                    estimate + 1.96 * error));
  }
  out.line(" " + rule);
  out.line(" OMEGA (inter-individual variance)");
  out.line("   ETA1   0.0912     ETA2   0.1543");
  out.line(" ");
  out.line(" Residual summary                                   (predictions versus observations)");
  out.line("   Time     Observed   Predicted    Weighted residual   Weight");
  const std::uint64_t closing = 3 * 82;
  while (out.written - start + closing < budget) out.line(rows[random.below(4096)]);
  out.line(format(" MAE  =  %6.4f    RMSE =  %6.4f    R2 =  %5.3f", 0.04 + 0.01 * random.unit(),
                  0.05 + 0.01 * random.unit(), 0.95 + 0.04 * random.unit()));
  out.line(" End of goodness-of-fit statistics for this estimation step, all subjects");
  out.line(" ");
}

std::uint64_t parse_size(const char* text) {
  char* end = nullptr;
  double value = std::strtod(text, &end);
  switch (*end) {
    case 'K':
    case 'k':
      value *= 1024.0;
      break;
    case 'M':
    case 'm':
      value *= 1024.0 * 1024.0;
      break;
    case 'G':
    case 'g':
      value *= 1024.0 * 1024.0 * 1024.0;
      break;
    default:
      break;
  }
  return value > 0 ? static_cast<std::uint64_t>(value) : 0;
}

void write_one_line(Sink& out, std::uint64_t size) {
  std::string block;
  while (block.size() < (1u << 16)) block += "0123456789 abcdefghijklmnopqrstuvwxyz ";
  block.resize(1u << 16);
  for (std::uint64_t left = size; left > 0;) {
    std::size_t n = left < block.size() ? static_cast<std::size_t>(left) : block.size();
    std::fwrite(block.data(), 1, n, out.file);
    left -= n;
  }
  std::fputc('\n', out.file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--bytes") == 0) {
    std::printf("%llu\n", static_cast<unsigned long long>(parse_size(argv[2])));
    return 0;
  }
  bool one_line = argc > 1 && std::strcmp(argv[1], "--one-line") == 0;
  int first = one_line ? 2 : 1;
  if (argc - first < 2 || argc - first > 3) {
    std::fprintf(stderr, "usage: %s [--one-line] SIZE FILE [FITS]\n", argv[0]);
    return 2;
  }
  std::uint64_t size = parse_size(argv[first]);
  int fits = argc - first == 3 ? std::atoi(argv[first + 2]) : 300;
  std::FILE* file = std::fopen(argv[first + 1], "wb");
  if (file == nullptr || size == 0 || fits < 1) {
    std::fprintf(stderr, "%s: bad size, fit count or file\n", argv[0]);
    return 2;
  }
  static char buffer[1 << 20];
  std::setvbuf(file, buffer, _IOFBF, sizeof buffer);
  Sink out{file};
  if (one_line) {
    write_one_line(out, size);
  } else {
    Random random;
    std::vector<std::string> rows = residual_rows(random);
    std::uint64_t budget = size / static_cast<std::uint64_t>(fits);
    for (int fit = 1; fit <= fits; ++fit) write_section(out, random, rows, fit, fits, budget);
  }
  return std::fclose(file) == 0 ? 0 : 1;
}
