/* Worked examples: one unsigned byte, bit fields, a structure, arrays. */
unsigned char counter __attribute__((section(".counter")));

struct Flags {
  unsigned pad : 26;
  unsigned ready : 1;
  unsigned mode : 3;
  int level : 2;
} flags;

void tick(void) {
  static int count;
  count++;
}
