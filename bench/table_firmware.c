// Calibration data of an engine controller as measurement tools see it: few
// types, many tables. Each table element is a line in the map, so the dump of
// this image has several symbol lines per kilobyte where application code
// has about one. The benchmark replicates its dump into the output-heavy
// dump; the image is built like the examples and never run.
#include <stdint.h>

typedef struct {
  int16_t x;
  int16_t y;
} Point;

typedef struct {
  Point points[16];
  uint16_t count;
  uint8_t mode : 3;
  uint8_t enabled : 1;
  float gain;
} Curve;

typedef struct {
  uint16_t axisX[12];
  uint16_t axisY[12];
  int16_t values[12][12];
} Map;

Curve g_idleCurves[10];
Curve g_boostCurves[10];
Map g_fuelMaps[8];
Map g_ignitionMaps[8];
uint32_t g_counters[256];
float g_filterCoefficients[128];
volatile uint8_t g_portImage[64];

struct {
  uint8_t id;
  uint16_t period;
  uint32_t mask;
} g_messages[96];

int main(void) {
  for (unsigned i = 0; i < 10; ++i) g_idleCurves[i].count = g_boostCurves[i].count = 16;
  g_fuelMaps[0].values[0][0] = (int16_t)g_counters[0];
  g_ignitionMaps[0].axisX[0] = g_messages[0].period;
  g_portImage[0] = (uint8_t)g_filterCoefficients[0];
  return 0;
}
