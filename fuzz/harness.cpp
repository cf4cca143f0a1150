#include "harness.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace fuzz {

namespace {

std::string input_name;

[[noreturn]] void throw_stop() {
  throw RunEnded{false};
}
[[noreturn]] void throw_abort() {
  throw RunEnded{true};
}

}  // namespace

void set_input_name(std::string name) {
  input_name = std::move(name);
}

MemoryRun::MemoryRun(std::string input, std::size_t chunk) {
  auto keyboard = std::make_unique<record_io::StringChannel>(std::move(input));
  keyboard->set_read_chunk(chunk);
  auto screen = std::make_unique<record_io::StringChannel>();
  auto errors = std::make_unique<record_io::StringChannel>();
  screen_ = screen.get();
  errors_ = errors.get();
  io_ = std::make_unique<record_io::Runtime>(std::move(keyboard), std::move(screen),
                                             std::move(errors),
                                             record_io::ProcessEnds{throw_stop, throw_abort});
}

const std::string& MemoryRun::screen() {
  io_->shutdown();
  return screen_->output();
}

void MemoryRun::fail(std::string_view what, std::string_view detail) {
  std::fprintf(stderr, "\n*** invariant broken: %.*s\n", static_cast<int>(what.size()),
               what.data());
  if (!input_name.empty()) std::fprintf(stderr, "*** input: %s\n", input_name.c_str());
  if (!detail.empty()) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(detail.size()), detail.data());
  }
  std::fflush(stderr);
  if (!input_name.empty()) throw InvariantBroken{};
  std::abort();
}

std::string expected_diagnostic(const model::Ending& ending, int unit, std::string_view name,
                                std::string_view format) {
  std::string text = ending.error_line() + "\n";
  text += "apparent state: unit " + std::to_string(unit) + " ";
  text += name.empty() ? std::string("(unnamed)") : "named " + std::string(name);
  text += "\nlast format: " + std::string(format) + "\n";
  text += "lately reading sequential formatted external IO\n";
  return text;
}

void check_diagnostic_shape(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t from = 0;
  for (std::size_t lf; (lf = text.find('\n', from)) != std::string_view::npos; from = lf + 1) {
    lines.push_back(text.substr(from, lf - from));
  }
  bool shaped = from == text.size() && lines.size() == 4 &&
                lines[1].rfind("apparent state: unit ", 0) == 0 &&
                lines[2].rfind("last format: ", 0) == 0 &&
                lines[3] == "lately reading sequential formatted external IO";
  if (!shaped) MemoryRun::fail("malformed fatal diagnostic", show(text));
}

bool check_ending(const model::Ending& want, bool completed, MemoryRun& run,
                  std::string_view expected_text) {
  if (!completed) check_diagnostic_shape(run.errors());
  if (!completed && run.error_writes() != 1) {
    MemoryRun::fail("the diagnostic was not written in one piece",
                    std::to_string(run.error_writes()) + " writes");
  }
  if (completed && run.error_writes() != 0) {
    MemoryRun::fail("standard error written by a statement that completed", run.errors());
  }
  switch (want.kind) {
    case model::Ending::unspecified:
      return false;
    case model::Ending::completed:
      if (!completed) MemoryRun::fail("failed where the reading must complete", run.errors());
      return true;
    case model::Ending::failed:
      if (completed) MemoryRun::fail("completed where the reading must fail", want.error_line());
      if (run.errors() != expected_text) {
        MemoryRun::fail("wrong fatal diagnostic",
                        "expected:\n" + std::string(expected_text) + "got:\n" + run.errors());
      }
      return true;
  }
  return false;
}

bool same_bits(float a, float b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string show(float v) {
  char text[64];
  std::snprintf(text, sizeof text, "%a (%.9g)", static_cast<double>(v), static_cast<double>(v));
  return text;
}

std::string show(std::string_view bytes) {
  std::string out;
  for (char byte : bytes) {
    auto c = static_cast<unsigned char>(byte);
    if (c == '\n') {
      out += "\\n\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02x", c);
      out += esc;
    }
  }
  return out;
}

}  // namespace fuzz
