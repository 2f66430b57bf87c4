/* Diagnostics: the fault memory with freeze frames, an event log and the
   service dispatch table of the diagnostic protocol. */
#include "ecu_types.h"

#define DTC_SLOTS 10
#define EVENT_LOG 32

typedef struct {
  coolant_temp_t coolant;
  uint16_t rpm;
  uint16_t battery_mv;
  ecu_mode_t mode;
} freeze_frame_t;

typedef struct {
  dtc_code_t code;
  uint8_t severity;
  uint8_t occurrences;
  struct {
    timestamp_ms_t first_ms;
    timestamp_ms_t last_ms;
  } time;
  freeze_frame_t freeze;
} dtc_entry_t;

typedef struct {
  uint8_t service;
  uint8_t response_code;
  uint16_t length;
} event_t;

typedef uint8_t (*service_handler_t)(const uint8_t *request, uint8_t length, uint8_t *response);

typedef struct {
  uint8_t service_id;
  service_handler_t handler;
} service_entry_t;

dtc_entry_t g_dtc_memory[DTC_SLOTS];
static event_t event_log[EVENT_LOG];
static uint8_t event_head;
wake_source_t g_wake_source;
static service_entry_t services[5];
uint8_t g_diag_response[20];
uint8_t g_diag_session;

static uint8_t read_data(const uint8_t *request, uint8_t length, uint8_t *response) {
  (void)length;
  response[0] = (uint8_t)(request[0] + 0x40u);
  response[1] = g_diag_session;
  return 2;
}

static uint8_t clear_dtc(const uint8_t *request, uint8_t length, uint8_t *response) {
  (void)request;
  (void)length;
  for (unsigned i = 0; i < DTC_SLOTS; ++i)
    g_dtc_memory[i].code = DTC_NONE;
  response[0] = 0x54;
  return 1;
}

static uint8_t session_control(const uint8_t *request, uint8_t length, uint8_t *response) {
  if (length > 1u)
    g_diag_session = request[1];
  response[0] = 0x50;
  response[1] = g_diag_session;
  return 2;
}

void diag_init(void) {
  services[0] = (service_entry_t){0x22, read_data};
  services[1] = (service_entry_t){0x14, clear_dtc};
  services[2] = (service_entry_t){0x10, session_control};
  services[3] = (service_entry_t){0x19, read_data};
  services[4] = (service_entry_t){0x3E, 0};
  g_diag_session = 1;
  g_wake_source = WAKE_KL15;
}

void diag_report(dtc_code_t code, uint8_t severity) {
  static uint16_t reports; /* diag_report@reports */
  ++reports;
  dtc_entry_t *free_slot = 0;
  for (unsigned i = 0; i < DTC_SLOTS; ++i) {
    dtc_entry_t *e = &g_dtc_memory[i];
    if (e->code == code) {
      if (e->occurrences < 255u)
        e->occurrences++;
      e->time.last_ms = g_system_ms;
      return;
    }
    if (e->code == DTC_NONE && !free_slot)
      free_slot = e;
  }
  if (!free_slot)
    return;
  free_slot->code = code;
  free_slot->severity = severity;
  free_slot->occurrences = 1;
  free_slot->time.first_ms = free_slot->time.last_ms = g_system_ms;
  free_slot->freeze.coolant = sensors_coolant();
  free_slot->freeze.mode = g_ecu_mode;
  free_slot->freeze.rpm = (uint16_t)(reports & 0xFFFFu);
}

void diag_task(void) {
  static const uint8_t tester_present[2] = {0x3E, 0x00};
  event_t *ev = &event_log[event_head];
  event_head = (uint8_t)((event_head + 1u) % EVENT_LOG);
  ev->service = tester_present[0];
  for (unsigned i = 0; i < 5u; ++i) {
    if (services[i].service_id != ev->service || !services[i].handler)
      continue;
    ev->length = services[i].handler(tester_present, 2, g_diag_response);
    ev->response_code = g_diag_response[0];
  }
  if (can_lost_frames() > 10u)
    diag_report(DTC_U0100, 1);
  if (g_wake_source == WAKE_TIMER)
    g_ecu_mode = MODE_SHUTDOWN;
  (void)calibration_fuel_correction((uint8_t)(event_head % 3u), 1, 2);
}
