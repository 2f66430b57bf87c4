/* Common types of the ECU firmware: fixed-point units, states and shared records. */
#ifndef ECU_TYPES_H
#define ECU_TYPES_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

/* Typedef chains as a real code base grows them: a physical unit on top of a
   project integer type on top of the C99 type. */
typedef uint16_t u16_t;
typedef u16_t raw_adc_t;
typedef raw_adc_t millivolt_t;
typedef int16_t s16_t;
typedef s16_t temp_dC_t; /* tenths of a degree Celsius */
typedef temp_dC_t coolant_temp_t;
typedef uint32_t timestamp_ms_t;
typedef volatile timestamp_ms_t vtimestamp_ms_t;
typedef int32_t q16_16_t; /* signed fixed point, 16 fraction bits */

typedef enum { MODE_INIT = 0, MODE_STANDBY, MODE_RUN, MODE_LIMP, MODE_SHUTDOWN } ecu_mode_t;

/* A two-byte enumeration (a value above 255) and a four-byte one. */
typedef enum { DTC_NONE = 0, DTC_P0115 = 0x0115, DTC_P0300 = 0x0300, DTC_U0100 = 0xC100 } dtc_code_t;
typedef enum { WAKE_NONE = 0, WAKE_CAN = 1, WAKE_KL15 = 2, WAKE_TIMER = 0x10000 } wake_source_t;
/* A signed enumeration. */
typedef enum { TREND_FALLING = -1, TREND_STEADY = 0, TREND_RISING = 1 } trend_t;

typedef void (*task_fn_t)(void);
typedef int32_t (*filter_fn_t)(int32_t previous, int32_t sample);

typedef struct {
  timestamp_ms_t last_run_ms;
  uint32_t run_count;
  uint16_t max_runtime_us;
  uint8_t overruns;
} task_stats_t;

/* scheduler.c */
void scheduler_init(void);
void scheduler_tick(timestamp_ms_t now);
extern vtimestamp_ms_t g_system_ms;
extern ecu_mode_t g_ecu_mode;

/* can.c */
void can_init(void);
void can_receive_isr(uint8_t mailbox);
void can_transmit_task(void);
uint32_t can_lost_frames(void);

/* calibration.c */
void calibration_init(void);
int16_t calibration_lookup_ignition(uint16_t rpm, uint16_t load);
int16_t calibration_fuel_correction(uint8_t gear, uint8_t zone, uint8_t cyl);

/* sensors.c */
void sensors_init(void);
void sensors_task(void);
coolant_temp_t sensors_coolant(void);

/* registers.c */
void registers_init(void);
void registers_task(void);

/* bitfields.c */
void bitfields_init(void);
void bitfields_task(void);

/* basetypes.c */
void basetypes_init(void);
void basetypes_task(void);

/* diag.c */
void diag_init(void);
void diag_task(void);
void diag_report(dtc_code_t code, uint8_t severity);

#endif
