// BMS main loop: measure, balance, estimate, report and decide on the contactor.
#include "bms.hpp"

namespace bms {
Fault g_active_faults;
Contactor g_contactor;
char8_t g_firmware_tag[8] = u8"BMS-2.1"; // C++20 UTF-8 characters
char16_t g_serial_utf16[4];
} // namespace bms

volatile uint32_t g_tick_ms;
int32_t g_pack_current_ma;

int main() {
  using namespace bms;
  uint32_t last_ms = 0;
  for (;;) {
    uint32_t now = g_tick_ms;
    for (auto &monitor : g_monitors)
      monitor.read_cells(now);
    g_balancer.update(g_monitors[0], now);
    g_soc.integrate(g_pack_current_ma, now - last_ms);
    uint16_t highest = g_monitors[0].max_millivolts();
    uint16_t lowest = g_monitors[1].min_millivolts();
    uint32_t faults = 0;
    if (highest > 4200u)
      faults |= static_cast<uint32_t>(Fault::OverVoltage);
    if (lowest < 2800u)
      faults |= static_cast<uint32_t>(Fault::UnderVoltage);
    g_active_faults = static_cast<Fault>(faults);
    g_contactor = faults ? Contactor::Open : (g_contactor == Contactor::Open ? Contactor::Precharge : Contactor::Closed);
    if ((now % 100u) == 0u)
      comm_task(now);
    else if (g_comm_timeouts > 10u)
      g_contactor = Contactor::Open;
    g_serial_utf16[now & 3u] = static_cast<char16_t>(g_firmware_tag[now & 7u]);
    g_pack_current_ma = static_cast<int32_t>(comm_frames_sent() & 0xFFFu) - 2048;
    last_ms = now;
    g_tick_ms = now + 1u;
  }
}
