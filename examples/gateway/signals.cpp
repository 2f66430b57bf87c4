// Signal database of the gateway: packed signal words, register overlays of
// the transceivers and the raw values of every signal type.
#include "gateway.hpp"
#include "ring.hpp"

namespace vehicle {

// Register overlay of a transceiver: the word, its bit fields and a helper.
// The nested type is defined inside the union.
union TransceiverStatus {
  struct Bits {
    uint32_t mode : 2;
    uint32_t wake : 1;
    uint32_t bus_error : 1;
    uint32_t thermal : 1;
    uint32_t tx_timeout : 1;
    uint32_t vcc_low : 1;
    uint32_t reserved : 25;
  };
  Bits bits;
  uint32_t raw;
  uint8_t bytes[4];
  bool has_error() const { return (raw & 0x38u) != 0u; }
};

// An anonymous structure inside a union: its members are members of the union.
union Word16 {
  uint16_t value;
  struct {
    uint8_t low;
    uint8_t high;
  };
};

struct SignalWord {
  uint16_t raw : 12;
  uint16_t valid : 1;
  uint16_t timeout : 1;
  int16_t trend : 2;
  Word16 scaled;
};

class SignalTable {
public:
  void update(uint32_t now_ms);
  SignalWord words[32];
  uint32_t stamp_ms[32];
  uint8_t matrix[4][8];       // two dimensions
  int16_t cube[2][3][4];      // three dimensions
  uint16_t single[1];         // one element
  static uint16_t generation; // static data member of a class
};

uint16_t SignalTable::generation;

struct RawValues {
  char c;
  signed char sc;
  unsigned char uc;
  short s;
  unsigned short us;
  int i;
  unsigned int ui;
  long l;
  unsigned long ul;
  long long ll;
  unsigned long long ull;
  float f;
  double d;
  long double ld;
  bool b;
  wchar_t wc;
  char16_t c16;
  char32_t c32;
};

using Callback = void (*)(uint32_t);
typedef Callback CallbackAlias; // a typedef of an alias

namespace {
// File-local: routing.cpp has its own "count" in its anonymous namespace.
uint16_t count;
uint32_t checksum_seed = 0x1234u;
void on_timeout(uint32_t now_ms) { checksum_seed ^= now_ms; }
void on_wake(uint32_t now_ms) { checksum_seed += now_ms; }
} // namespace

TransceiverStatus g_transceivers[2];
SignalTable g_signals;
RawValues g_raw_values;
CallbackAlias g_callbacks[3] = {on_timeout, on_wake, nullptr};
uint16_t g_history[200];
util::Pair<uint16_t, int8_t> g_last_pair;
volatile unsigned int *g_watch_address;
const uint32_t g_signal_version = 0x00040200u; // const: left out

void SignalTable::update(uint32_t now_ms) {
  static uint8_t slot; // vehicle::SignalTable->update@slot
  SignalWord &w = words[slot % 32u];
  w.raw = static_cast<uint16_t>(now_ms & 0xFFFu);
  w.valid = 1;
  w.trend = static_cast<int16_t>((now_ms >> 4) & 1u) - 1;
  w.scaled.value = static_cast<uint16_t>(w.raw * 4u);
  stamp_ms[slot % 32u] = now_ms;
  matrix[slot & 3u][slot & 7u] = w.scaled.high;
  cube[slot & 1u][slot % 3u][slot & 3u] = static_cast<int16_t>(w.raw - 2048);
  single[0] = generation;
  ++slot;
  ++generation;
}

void signals_update(uint32_t now_ms) {
  g_signals.update(now_ms);
  g_history[now_ms % 200u] = static_cast<uint16_t>(now_ms);
  g_transceivers[now_ms & 1u].bits.wake = (now_ms & 2u) ? 1u : 0u;
  if (g_transceivers[0].has_error())
    g_callbacks[0](now_ms);
  g_raw_values.i = static_cast<int>(now_ms);
  g_raw_values.ui = now_ms * 3u;
  g_raw_values.ll += g_raw_values.i;
  g_raw_values.c16 = static_cast<char16_t>(now_ms);
  g_raw_values.c32 = now_ms;
  g_raw_values.wc = static_cast<wchar_t>(now_ms & 0xFFu);
  g_raw_values.b = !g_raw_values.b;
  g_last_pair = {static_cast<uint16_t>(now_ms), static_cast<int8_t>(count & 0x7F)};
  util::Pair<uint16_t, int8_t>::last = g_last_pair;
  g_watch_address = &g_raw_values.ui;
  ++count;
}

uint32_t signals_checksum() {
  uint32_t sum = checksum_seed + g_signal_version;
  for (const auto &w : g_signals.words)
    sum += w.raw;
  sum += g_raw_values.c + g_raw_values.sc + g_raw_values.uc + g_raw_values.s + g_raw_values.us;
  sum += static_cast<uint32_t>(g_raw_values.l + static_cast<long>(g_raw_values.ul));
  sum += static_cast<uint32_t>(g_raw_values.ull) + *g_watch_address + count;
  return sum;
}

} // namespace vehicle
