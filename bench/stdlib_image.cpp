// A C++ firmware image of the size users' images reach: a telemetry task
// that formats its records with the standard library's streams. The streams
// link in the locale machinery of libstdc++, whose objects carry debug
// information, so the image's dump is about 150 MB where the example
// firmware's are 2 MB. The benchmark times objdump and quillmap on it; it is
// built with the same flags as the examples and is never run.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace telemetry {

struct Sample {
  std::uint32_t timestampMs;
  float value;
  std::uint8_t channel : 4;
  std::uint8_t valid : 1;
};

class Channel {
public:
  explicit Channel(std::string name) : name_(std::move(name)) {}
  void add(const Sample &sample) { history_.push_back(sample); }
  const std::string &name() const { return name_; }
  const std::vector<Sample> &history() const { return history_; }

private:
  std::string name_;
  std::vector<Sample> history_;
};

std::map<std::string, std::vector<int>> g_routes;
std::array<Sample, 16> g_latest;
std::function<int(int)> g_hook;
Channel g_voltage("voltage");
static std::uint32_t s_recordsWritten;

std::string format(const Channel &channel) {
  std::ostringstream out;
  out << channel.name() << ':';
  for (const Sample &sample : channel.history())
    out << ' ' << sample.timestampMs << '=' << sample.value;
  ++s_recordsWritten;
  return out.str();
}

} // namespace telemetry

int main() {
  using namespace telemetry;
  g_voltage.add({10, 3.3f, 1, 1});
  g_latest[0] = g_voltage.history().front();
  g_routes[format(g_voltage)].push_back(3);
  return g_hook ? g_hook(static_cast<int>(s_recordsWritten)) : 0;
}
