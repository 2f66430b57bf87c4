/* Demo engine controller: a cyclic task table driving sensors and the engine model. */
#include "engine.h"

engine_signals_t g_engine;
volatile uint32_t g_tick_ms;

const calibration_t g_calibration = {
    .idle_rpm = 800, .max_rpm = 6500, .spark_advance = {4, 6, 8, 10, 12, 14, 16, 18, 20, 22}, .fuel_gain = 1.05f};

typedef struct {
  void (*run)(void);
  uint16_t period_ms;
  uint16_t next_due_ms;
} task_t;

static task_t tasks[2] = {{sensors_sample, 10, 0}, {engine_step, 20, 0}};
static uint8_t count; /* a second file-local "count" lives in sensors.c */

int main(void) {
  for (;;) {
    for (unsigned i = 0; i < sizeof tasks / sizeof tasks[0]; ++i) {
      if ((uint16_t)(g_tick_ms - tasks[i].next_due_ms) < 0x8000u) {
        tasks[i].run();
        tasks[i].next_due_ms = (uint16_t)(tasks[i].next_due_ms + tasks[i].period_ms);
        ++count;
      }
    }
    g_tick_ms++;
  }
}

void engine_step(void) {
  static uint32_t steps;
  ++steps;
  if (g_engine.speed > g_calibration.max_rpm) {
    g_engine.flags.fault = 1;
    g_engine.state = ENGINE_FAULT;
  } else if (g_engine.speed > g_calibration.idle_rpm) {
    g_engine.state = ENGINE_RUNNING;
    g_engine.flags.ready = 1;
  }
  g_engine.torque_nm = (int32_t)((float)g_engine.speed * g_calibration.fuel_gain) / 10;
}
