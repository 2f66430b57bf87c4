/* Cooperative scheduler: a constant task table and the run-time state beside it. */
#include "ecu_types.h"

#define TASK_COUNT 5

typedef struct {
  task_fn_t run;
  uint16_t period_ms;
  uint16_t offset_ms;
  const char *name;
} task_config_t;

typedef struct {
  task_fn_t run;        /* copied from the configuration, patched by diagnostics */
  timestamp_ms_t due_ms;
  task_stats_t stats;
  ecu_mode_t min_mode;
  bool enabled;
} task_slot_t;

/* The constant table lives in flash; only the RAM slots below are measured. */
static const task_config_t task_config[TASK_COUNT] = {
    {sensors_task, 10, 0, "sensors"},     {can_transmit_task, 10, 5, "can_tx"},
    {registers_task, 20, 3, "registers"}, {bitfields_task, 50, 7, "bitfields"},
    {diag_task, 100, 11, "diag"},
};

vtimestamp_ms_t g_system_ms;
ecu_mode_t g_ecu_mode;
static task_slot_t task_table[TASK_COUNT];
static uint8_t count; /* number of tasks run in the last tick; sensors.c and can.c have their own */
static timestamp_ms_t last_tick_ms;
task_fn_t g_idle_hook;
static task_fn_t *volatile current_task; /* read by the debugger when a task hangs */
uint16_t g_cpu_load_permille[1]; /* a one-element array */

static void idle(void) { basetypes_task(); }

void scheduler_init(void) {
  for (unsigned i = 0; i < TASK_COUNT; ++i) {
    task_table[i].run = task_config[i].run;
    task_table[i].due_ms = task_config[i].offset_ms;
    task_table[i].stats.run_count = 0;
    task_table[i].stats.max_runtime_us = 0;
    task_table[i].stats.overruns = 0;
    task_table[i].min_mode = (i == 0) ? MODE_INIT : MODE_STANDBY;
    task_table[i].enabled = true;
  }
  g_idle_hook = idle;
  g_ecu_mode = MODE_STANDBY;
}

static bool task_due(const task_slot_t *slot, timestamp_ms_t now) {
  return (int32_t)(now - slot->due_ms) >= 0 && slot->enabled && g_ecu_mode >= slot->min_mode;
}

void scheduler_tick(timestamp_ms_t now) {
  static uint32_t ticks;      /* a static local: "scheduler_tick@ticks" */
  static uint16_t late_ticks; /* a second one in the same function */
  ++ticks;
  if (now - last_tick_ms > 1u)
    ++late_ticks;
  last_tick_ms = now;
  count = 0;
  for (unsigned i = 0; i < TASK_COUNT; ++i) {
    task_slot_t *slot = &task_table[i];
    if (!task_due(slot, now))
      continue;
    current_task = &slot->run;
    slot->run();
    current_task = 0;
    if ((int32_t)(now - slot->due_ms) > (int32_t)task_config[i].period_ms)
      slot->stats.overruns++;
    slot->due_ms += task_config[i].period_ms;
    slot->stats.last_run_ms = now;
    slot->stats.run_count++;
    ++count;
  }
  if (count == 0 && g_idle_hook)
    g_idle_hook();
  g_cpu_load_permille[0] = (uint16_t)((count * 1000u) / TASK_COUNT);
  if (late_ticks > 100u && g_ecu_mode == MODE_RUN)
    g_ecu_mode = MODE_LIMP;
}
