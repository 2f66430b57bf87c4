/* Sensor sampling into a small ring buffer. */
#include "engine.h"

#define RING_SIZE 5

typedef struct {
  uint16_t samples[RING_SIZE];
  uint8_t head;
  uint8_t fill;
} ring_t;

static ring_t coolant_ring;
static uint16_t count; /* same name as the counter in main.c */
int32_t adc_raw[4];
uint64_t sample_total;

void sensors_sample(void) {
  uint16_t raw = (uint16_t)(adc_raw[0] & 0x0FFF);
  coolant_ring.samples[coolant_ring.head] = raw;
  coolant_ring.head = (uint8_t)((coolant_ring.head + 1u) % RING_SIZE);
  if (coolant_ring.fill < RING_SIZE)
    coolant_ring.fill++;
  g_engine.coolant = (temp_degc_t)((int)raw / 16 - 40);
  g_engine.speed = (rpm_t)(adc_raw[1] & 0x1FFF);
  sample_total += raw;
  ++count;
}
