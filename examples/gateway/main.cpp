// Gateway main loop: global objects built before main, polled every
// millisecond, and a simulated bus that feeds the router.
#include "gateway.hpp"

namespace vehicle {

// Global objects with constructors.
Sensor g_oil_sensor(0x21, BusId::Powertrain, -40);
Sensor g_ambient_sensors[2] = {Sensor(0x30, BusId::Body, 0), Sensor(0x31, BusId::Body, 5)};
SmartActuator g_mirror_actuator(0x40, BusId::Body, 750);
body::Door g_doors[4];
powertrain::transmission::Shifter g_shifter;
Node *g_poll_list[7] = {&g_oil_sensor,      &g_ambient_sensors[0], &g_ambient_sensors[1], &g_mirror_actuator,
                        &g_wiper_actuator,  &g_rain_sensor,        nullptr};

} // namespace vehicle

volatile uint32_t g_tick_ms;
uint32_t g_frames_seen;

int main() {
  using namespace vehicle;
  body::Door::driver_side = &g_doors[0];
  for (;;) {
    uint32_t now = g_tick_ms;
    for (Node *node : g_poll_list)
      if (node)
        node->poll(now);
    Frame frame{0x100u + (now & 0x80u), 8, (now & 1u) ? BusId::Powertrain : BusId::Diagnostic, {}};
    frame.data[0] = static_cast<uint8_t>(now);
    route_frame(frame);
    ++g_frames_seen;
    signals_update(now);
    g_doors[now & 3u].update((now & 0x100u) != 0u, static_cast<uint8_t>(now & 0x7Fu));
    g_shifter.shift(static_cast<Gear>((now >> 8) % 7u));
    g_mirror_actuator.command(static_cast<uint16_t>(signals_checksum() & 0x3FFu));
    g_tick_ms = now + 1u;
  }
}
