/* Peripheral register images: register-overlay unions that give the same
   word as a whole, as bit fields and as bytes. The simulator keeps the
   peripheral blocks in RAM; on the target they sit at fixed addresses. */
#include "ecu_types.h"

typedef union {
  uint32_t reg;
  struct {
    uint32_t en : 1;
    uint32_t mode : 3;
    uint32_t dir : 1;
    uint32_t cms : 2;
    uint32_t arpe : 1;
    uint32_t ckd : 2;
    uint32_t prescaler_shadow : 12;
    uint32_t irq_mask : 10;
  } bits;
  uint8_t bytes[4];
} timer_ctrl_t;

typedef union {
  uint16_t reg;
  struct {
    uint16_t ready : 1;
    uint16_t busy : 1;
    uint16_t overrun : 1;
    uint16_t channel : 5;
    uint16_t resolution : 2;
    uint16_t align_left : 1;
    uint16_t : 5; /* reserved, not in the debug information */
  } bits;
} adc_status_t;

typedef struct {
  volatile timer_ctrl_t ctrl;
  volatile uint32_t count;
  volatile uint32_t reload;
  volatile uint16_t prescaler;
  uint16_t reserved0;
  volatile uint32_t compare[4];
} timer_regs_t;

typedef struct {
  volatile adc_status_t status;
  volatile uint16_t sequence[10];
  /* an anonymous union: the data register as one word or as two halves */
  union {
    volatile uint32_t data;
    struct {
      volatile uint16_t data_low;
      volatile uint16_t data_high;
    };
  };
  volatile uint8_t sample_time[20];
} adc_regs_t;

/* Port block: a named union inside a structure. */
typedef struct {
  union {
    uint32_t all;
    uint8_t pin_group[4];
    struct {
      uint32_t pins_0_7 : 8;
      uint32_t pins_8_15 : 8;
      uint32_t pins_16_23 : 8;
      uint32_t pins_24_31 : 8;
    } groups;
  } output;
  uint32_t input;
  uint32_t direction;
} gpio_regs_t;

timer_regs_t g_timer2;
adc_regs_t g_adc1;
volatile gpio_regs_t g_gpio[3];
static volatile uint32_t *const watchdog_reload = &g_timer2.reload; /* constant pointer: left out */
volatile uint32_t *g_register_cursor;

void registers_init(void) {
  g_timer2.ctrl.bits.en = 1;
  g_timer2.ctrl.bits.mode = 2;
  g_timer2.ctrl.bits.prescaler_shadow = 799;
  g_timer2.prescaler = 799;
  g_timer2.reload = 1000;
  g_adc1.status.bits.resolution = 3;
  for (unsigned i = 0; i < 10; ++i)
    g_adc1.sequence[i] = (uint16_t)i;
  for (unsigned i = 0; i < 20; ++i)
    g_adc1.sample_time[i] = 7;
  g_gpio[0].direction = 0x0000FF00u;
  g_register_cursor = &g_timer2.count;
}

void registers_task(void) {
  g_timer2.count = g_timer2.count + 20u;
  if (g_timer2.count >= g_timer2.reload)
    g_timer2.count = 0;
  g_timer2.compare[g_timer2.count & 3u] = g_timer2.count;
  g_adc1.status.bits.ready = 1;
  g_adc1.data_low = (uint16_t)g_timer2.count;
  g_adc1.data_high = (uint16_t)(g_adc1.data >> 8);
  g_gpio[1].output.groups.pins_8_15 = g_gpio[0].output.pin_group[1];
  g_gpio[2].output.all ^= g_gpio[1].input;
  *watchdog_reload = 1000u;
  *g_register_cursor ^= 1u;
}
