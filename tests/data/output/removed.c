/* Linked with -ffunction-sections -fdata-sections -Wl,--gc-sections: the
   linker removes recalibrate, which nothing calls, and the data only it
   uses. Their debug information stays, at address 0. */
struct Trim {
  short gain;
  unsigned char taps[3];
};

unsigned int ticks;
static struct Trim spare_trim;
static const unsigned char trim_steps[4] = {1, 2, 2, 1};

int recalibrate(void) {
  static unsigned short calls;
  ++calls;
  spare_trim.gain += trim_steps[calls & 3u];
  spare_trim.taps[calls % 3u] = trim_steps[0];
  return spare_trim.gain;
}

int main(void) {
  for (;;)
    ++ticks;
}
