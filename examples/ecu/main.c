/* ECU main loop: initialisation of every module, then the millisecond scheduler. */
#include "ecu_types.h"

/* Build identification, read by the calibration tool. */
const char g_build_id[20] = "ECU-DEMO 4.2.0";
volatile uint32_t g_reset_reason;
uint32_t g_main_loops;

static void wait_for_tick(timestamp_ms_t last) {
  while (g_system_ms == last) {
    ++g_main_loops;
    g_system_ms = g_system_ms + 1u; /* no timer interrupt in the simulator: advance time here */
  }
}

int main(void) {
  g_reset_reason = (uint32_t)g_build_id[0];
  scheduler_init();
  can_init();
  calibration_init();
  sensors_init();
  registers_init();
  bitfields_init();
  basetypes_init();
  diag_init();
  for (;;) {
    timestamp_ms_t now = g_system_ms;
    scheduler_tick(now);
    if ((now & 0x3Fu) == 0u)
      can_receive_isr((uint8_t)(now >> 6));
    if (sensors_coolant() > 1100)
      diag_report(DTC_P0115, 2);
    wait_for_tick(now);
  }
}
