// C++ shapes for the reader: a class with a static data member, inheritance,
// namespaces, a two-dimensional array, qualifiers, a typedef chain, a union, an
// enumeration and a function-local static.
#include <stdint.h>

namespace engine {

typedef uint16_t rpm_t;
typedef rpm_t speed_t;

class Limits {
public:
  static uint32_t instances;
  uint16_t minimum;
  uint16_t maximum;
};

class Governor : public Limits {
public:
  speed_t target;
  int8_t table[3][4];
  union {
    uint32_t raw;
    float scaled;
  } gain;
  enum Mode : uint8_t { Off, Idle, Run } mode;
};

uint32_t Limits::instances = 2;
Governor governor;
const volatile uint32_t* volatile status_register;

} // namespace engine

int counter_step() {
  static int calls;
  return ++calls;
}
