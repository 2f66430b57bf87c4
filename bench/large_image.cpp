// A C++ firmware image at the top of users' sizes: a configuration service
// that keeps a hundred record types in maps, vectors, shared pointers and
// std::function hooks, parses its settings with <regex> and formats them
// with wide and narrow streams. Each record type instantiates the containers
// anew in this unit's debug information and the wide streams and <regex>
// link in more of libstdc++'s, so the dump exceeds 300 MB. The benchmark
// times objdump and quillmap on it; it is built with the examples' flags and
// is never run.
#include <fstream>
#include <functional>
#include <iomanip>
#include <iostream>
#include <locale>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace config {

template <int N> struct Record {
  int values[N % 7 + 1];
  double scale;
  std::string name;
};

template <int N> struct Registry {
  static std::map<int, Record<N>> byId;
  static std::vector<std::shared_ptr<Record<N>>> all;
  static std::function<double(const Record<N> &)> rate;
};
template <int N> std::map<int, Record<N>> Registry<N>::byId;
template <int N> std::vector<std::shared_ptr<Record<N>>> Registry<N>::all;
template <int N> std::function<double(const Record<N> &)> Registry<N>::rate;

template <int N> double touch() {
  Registry<N>::byId[N].scale = N;
  Registry<N>::all.push_back(std::make_shared<Record<N>>());
  Registry<N>::rate = [](const Record<N> &record) { return record.scale; };
  return Registry<N>::rate(Registry<N>::byId[N]) + touch<N - 1>();
}
template <> double touch<0>() { return 0; }

std::wstring g_report;
std::string g_lastValue;
double g_total;

} // namespace config

int main() {
  using namespace config;
  g_total = touch<100>();

  std::wostringstream report;
  report.imbue(std::locale::classic());
  report << std::put_money(L"123") << std::setw(8) << g_total << L" total";
  g_report = report.str();
  std::wistringstream back(g_report);
  long double money;
  back >> std::get_money(money);

  const std::regex setting("[a-z]+([0-9]*)");
  std::smatch match;
  const std::string line = "gain123";
  if (std::regex_search(line, match, setting)) g_lastValue = match[1];
  const std::wregex wideSetting(L"[a-z]+");
  std::wsmatch wideMatch;
  std::regex_match(g_report, wideMatch, wideSetting);

  std::tm when{};
  std::istringstream date("2026-12-10");
  date >> std::get_time(&when, "%Y-%m-%d");
  std::cout << std::put_time(&when, "%c") << g_lastValue;
  std::wcout << g_report;
  std::ofstream log("config.log");
  log << g_total;
  return 0;
}
