/* Leaf shapes of a small controller, placed at fixed addresses. */
enum Mode { MODE_OFF, MODE_RUN };
typedef unsigned short word_t;

struct Sample {
  word_t raw;
  signed char offset;
};

struct Limits {
  unsigned full : 32;
  int sfull : 32;
  unsigned long long wide : 64;
};

struct Channel {
  enum Mode mode;
  union {
    unsigned int x;
    float y;
  };
  struct Sample samples[2];
  const int *source;
  void (*handler)(void);
};

unsigned short buf[10];
int m[3][4];
struct Channel channel;
const struct Sample calibration = {1, 2};
volatile long long ticks;
_Bool ready;
double ratio;
struct Limits limits;
