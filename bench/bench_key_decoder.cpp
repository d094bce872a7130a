// Key decoder benchmark: bursts of Esc presses and of Ctrl+C in the CSI u
// form, decoded as the terminal back end decodes what it has read. The time
// per byte stays flat as the burst grows (linear time, no recursion).
//
//   bench_key_decoder [largest burst]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/console/key_decoder.h"

namespace {

double DecodeMs(const std::string& bytes, std::size_t& events) {
  double best = 1e300;
  for (int round = 0; round < 3; ++round) {
    std::vector<console::Event> out;
    const auto start = std::chrono::steady_clock::now();
    console::detail::DecodeEvents(bytes, true, out);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (ms < best) best = ms;
    events = out.size();
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const long largest = argc > 1 ? std::atol(argv[1]) : 1000000;
  std::printf("%-28s %10s %10s %12s %10s\n", "input", "bytes", "events", "ms", "ns/byte");
  for (long n = 1000; n <= largest; n *= 10) {
    const std::string escs = std::string(static_cast<std::size_t>(n), '\x1b') + "\x1b[A";
    std::string ctrl;
    for (long i = 0; i < n / 7; ++i) ctrl += "\x1b[99;5u";
    for (const auto& [name, bytes] : {std::pair<const char*, const std::string&>{"Esc presses, then Up", escs},
                                      std::pair<const char*, const std::string&>{"Ctrl+C as CSI u", ctrl}}) {
      std::size_t events = 0;
      const double ms = DecodeMs(bytes, events);
      std::printf("%-28s %10zu %10zu %12.3f %10.1f\n", name, bytes.size(), events, ms,
                  ms * 1e6 / static_cast<double>(bytes.size()));
    }
  }
  return 0;
}
