/* Start-up code of the big-endian image, which links without a C library:
   clears .bss and calls main. */
#include <stdint.h>

extern uint32_t __bss_start__[];
extern uint32_t __bss_end__[];
extern int main(void);

void _start(void) {
  for (volatile uint32_t *p = __bss_start__; p < __bss_end__; ++p)
    *p = 0;
  (void)main();
  for (;;) {
  }
}
