/* Sensor acquisition: raw ADC channels, filtered physical values and a
   200-sample history of the crank speed. */
#include "ecu_types.h"

#define ADC_CHANNELS 10
#define HISTORY 200

typedef enum { SENSOR_OK, SENSOR_SHORT_GND, SENSOR_SHORT_BAT, SENSOR_OPEN } sensor_fault_t;

typedef struct {
  raw_adc_t raw;
  millivolt_t voltage;
  int32_t filtered; /* q16.16 */
  filter_fn_t filter;
  sensor_fault_t fault;
  trend_t trend;
} analog_sensor_t;

typedef struct {
  coolant_temp_t coolant;
  temp_dC_t intake_air;
  temp_dC_t oil;
  uint16_t manifold_kpa_x10;
  uint16_t battery_mv;
  uint16_t crank_rpm;
  int8_t knock_retard[4];
  struct {
    uint8_t position_pct;
    uint8_t target_pct;
    int16_t error;
  } throttle;
} engine_inputs_t;

typedef struct {
  uint16_t samples[HISTORY];
  uint16_t head;
  uint16_t fill;
  uint32_t sum;
} rpm_history_t;

analog_sensor_t g_analog[ADC_CHANNELS];
engine_inputs_t g_inputs;
static rpm_history_t rpm_history;
static uint16_t count; /* samples taken; a same-named static lives in scheduler.c */
volatile raw_adc_t g_adc_dma_buffer[ADC_CHANNELS];
static const uint16_t coolant_curve[10] = {3900, 3600, 3200, 2700, 2200, 1700, 1250, 900, 600, 400};

static int32_t lowpass(int32_t previous, int32_t sample) { return previous + ((sample - previous) >> 3); }
static int32_t passthrough(int32_t previous, int32_t sample) {
  (void)previous;
  return sample;
}

void sensors_init(void) {
  for (unsigned i = 0; i < ADC_CHANNELS; ++i) {
    g_analog[i].filter = (i < 4u) ? lowpass : passthrough;
    g_analog[i].fault = SENSOR_OK;
    g_analog[i].trend = TREND_STEADY;
  }
  rpm_history.head = 0;
  rpm_history.fill = 0;
}

static coolant_temp_t coolant_from_mv(millivolt_t mv) {
  unsigned i = 0;
  while (i < 9u && mv < coolant_curve[i + 1u])
    ++i;
  return (coolant_temp_t)(-400 + (int)i * 150);
}

void sensors_task(void) {
  static uint8_t phase; /* sensors_task@phase */
  for (unsigned i = 0; i < ADC_CHANNELS; ++i) {
    analog_sensor_t *s = &g_analog[i];
    s->raw = (raw_adc_t)(g_adc_dma_buffer[i] & 0x0FFFu);
    s->voltage = (millivolt_t)((s->raw * 5000u) >> 12);
    int32_t next = s->filter(s->filtered, (int32_t)s->voltage << 16);
    s->trend = next > s->filtered ? TREND_RISING : next < s->filtered ? TREND_FALLING : TREND_STEADY;
    s->filtered = next;
    s->fault = s->voltage < 100u ? SENSOR_SHORT_GND : s->voltage > 4900u ? SENSOR_SHORT_BAT : SENSOR_OK;
  }
  g_inputs.coolant = coolant_from_mv(g_analog[0].voltage);
  g_inputs.intake_air = coolant_from_mv(g_analog[1].voltage);
  g_inputs.battery_mv = (uint16_t)(g_analog[2].voltage * 4u);
  g_inputs.throttle.error = (int16_t)(g_inputs.throttle.target_pct - g_inputs.throttle.position_pct);
  g_inputs.crank_rpm = (uint16_t)(g_system_ms % 7000u);
  g_inputs.knock_retard[phase & 3u] = (int8_t)(phase >> 4);
  rpm_history.sum -= rpm_history.samples[rpm_history.head];
  rpm_history.samples[rpm_history.head] = g_inputs.crank_rpm;
  rpm_history.sum += g_inputs.crank_rpm;
  rpm_history.head = (uint16_t)((rpm_history.head + 1u) % HISTORY);
  if (rpm_history.fill < HISTORY)
    rpm_history.fill++;
  ++phase;
  ++count;
  (void)calibration_lookup_ignition(g_inputs.crank_rpm, g_inputs.manifold_kpa_x10);
}

coolant_temp_t sensors_coolant(void) {
  if (count < 3u) /* the filters settle over the first samples */
    return 0;
  return g_inputs.coolant;
}
