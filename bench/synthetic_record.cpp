#include "synthetic_record.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace bench {

namespace {

// splitmix64: small, fast and the same everywhere.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15u);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
  }
  // Uniform in (0, 1).
  double uniform() { return (static_cast<double>(next() >> 11) + 0.5) * 0x1p-53; }
  // Standard normal (Box-Muller).
  double normal() {
    double r = std::sqrt(-2.0 * std::log(uniform()));
    return r * std::cos(2.0 * std::numbers::pi * uniform());
  }

 private:
  std::uint64_t state_;
};

// A band-pass biquad around f0 (Hz) with quality q, for a step of dt seconds.
class BandPass {
 public:
  BandPass(double f0, double q, double dt) {
    double w0 = 2.0 * std::numbers::pi * f0 * dt;
    double alpha = std::sin(w0) / (2.0 * q);
    double a0 = 1.0 + alpha;
    b0_ = alpha / a0;
    a1_ = -2.0 * std::cos(w0) / a0;
    a2_ = (1.0 - alpha) / a0;
  }
  double step(double in) {
    double out = b0_ * in - b0_ * in2_ - a1_ * out1_ - a2_ * out2_;
    in2_ = in1_;
    in1_ = in;
    out2_ = out1_;
    out1_ = out;
    return out;
  }

 private:
  double b0_, a1_, a2_;
  double in1_ = 0, in2_ = 0, out1_ = 0, out2_ = 0;
};

// Build-up over 3 s, strong shaking to 15 s, then an exponential decay.
double envelope(double t) {
  constexpr double rise = 3.0, strong_end = 15.0, decay = 0.15;
  if (t < rise) return (t / rise) * (t / rise);
  if (t < strong_end) return 1.0;
  return std::exp(-decay * (t - strong_end));
}

void append_padded(std::string& out, const char* text, std::size_t length, std::size_t width) {
  if (length < width) out.append(width - length, ' ');
  out.append(text, length);
}

}  // namespace

std::vector<double> synthetic_motion(const MotionShape& shape) {
  Random random(shape.seed);
  BandPass low(shape.corner, 0.8, shape.dt);
  BandPass high(shape.corner * 2.7, 1.5, shape.dt);
  std::vector<double> a(shape.points);
  double largest = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    double t = static_cast<double>(i) * shape.dt;
    double noise = random.normal();
    double ground = low.step(noise) + 0.45 * high.step(noise);
    // A small instrument floor keeps the quiet tail from vanishing entirely.
    a[i] = envelope(t) * ground + 2e-5 * random.normal();
    largest = std::max(largest, std::fabs(a[i]));
  }
  if (largest > 0) {
    for (double& v : a) v *= shape.peak / largest;
  }
  return a;
}

void append_sample_field(std::string& out, double v) {
  constexpr std::size_t width = 15;
  char text[32];
  char* p = text;
  if (std::signbit(v) && v != 0) *p++ = '-';
  *p++ = '.';
  int exponent = 0;
  if (v == 0) {
    p = std::fill_n(p, 7, '0');
  } else {
    // d.ddddddE±x from the library, shifted to .dddddddE±(x+1).
    char sci[32];
    auto result =
        std::to_chars(sci, sci + sizeof sci, std::fabs(v), std::chars_format::scientific, 6);
    char* e = std::find(sci, result.ptr, 'e');
    *p++ = sci[0];
    p = std::copy(sci + 2, e, p);
    const char* digits = e + 1;
    if (*digits == '+') ++digits;
    std::from_chars(digits, result.ptr, exponent);
    exponent += 1;
  }
  *p++ = 'E';
  *p++ = exponent < 0 ? '-' : '+';
  int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) *p++ = '0';
  p = std::to_chars(p, text + sizeof text, magnitude).ptr;
  append_padded(out, text, static_cast<std::size_t>(p - text), width);
}

std::string data_lines(const std::vector<double>& samples) {
  constexpr std::size_t per_line = 5;
  std::string out;
  out.reserve(samples.size() / per_line * (per_line * 15 + 1) + 80);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    append_sample_field(out, samples[i]);
    if (i % per_line == per_line - 1 || i + 1 == samples.size()) out += '\n';
  }
  return out;
}

std::string component_text(const MotionShape& shape, const std::string& title,
                           const std::vector<double>& samples) {
  std::string out;
  out += "SYNTHETIC STRONG MOTION RECORD FOR TIMING RUNS. NOT A RECORDED EVENT.\n";
  out += title + '\n';
  out += "ACCELERATION TIME HISTORY IN UNITS OF G. BAND: 0.5 - 20 Hz\n";
  // The step without its leading zero, as the files have it: " .00500".
  char step[32];
  char* step_end =
      std::to_chars(step, step + sizeof step, shape.dt, std::chars_format::fixed, 5).ptr;
  const char* step_text = step[0] == '0' ? step + 1 : step;
  char count[32];
  char* count_end = std::to_chars(count, count + sizeof count, samples.size()).ptr;
  out += "NPTS=";
  append_padded(out, count, static_cast<std::size_t>(count_end - count), 6);
  out += ", DT=";
  append_padded(out, step_text, static_cast<std::size_t>(step_end - step_text), 7);
  out += " SEC\n";
  out += data_lines(samples);
  return out;
}

std::vector<MotionShape> event_components(std::size_t points, std::uint64_t seed) {
  std::vector<MotionShape> shapes(3);
  const double peaks[] = {0.35, 0.28, 0.18};
  const double corners[] = {2.5, 3.2, 6.0};
  for (std::size_t k = 0; k < shapes.size(); ++k) {
    shapes[k].points = points;
    shapes[k].peak = peaks[k];
    shapes[k].corner = corners[k];
    shapes[k].seed = seed * 3 + k + 1;
  }
  return shapes;
}

}  // namespace bench
