#ifndef TRIMMED_H
#define TRIMMED_H

#include <stdint.h>

struct Filter {
  int16_t gain;
  uint8_t taps[3];
};

uint32_t sample_input(void);
int16_t calibrate_filter(void);

#endif
