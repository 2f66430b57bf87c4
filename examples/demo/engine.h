/* Shared declarations of the demo engine controller. */
#ifndef ENGINE_H
#define ENGINE_H

#include <stdint.h>

typedef uint16_t rpm_t;
typedef int16_t temp_degc_t;

typedef enum { ENGINE_OFF = 0, ENGINE_CRANKING, ENGINE_RUNNING, ENGINE_FAULT } engine_state_t;

typedef struct {
  uint8_t ready : 1;
  uint8_t fault : 1;
  uint8_t mode : 3;
  uint8_t reserved : 3;
} status_flags_t;

typedef struct {
  rpm_t speed;
  temp_degc_t coolant;
  int32_t torque_nm;
  engine_state_t state;
  status_flags_t flags;
} engine_signals_t;

typedef struct {
  uint16_t idle_rpm;
  uint16_t max_rpm;
  int8_t spark_advance[10];
  float fuel_gain;
} calibration_t;

extern engine_signals_t g_engine;
extern volatile uint32_t g_tick_ms;
extern const calibration_t g_calibration;

void sensors_sample(void);
void engine_step(void);

#endif
