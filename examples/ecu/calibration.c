/* Calibration: the reference page in flash, the working page in RAM that the
   calibration tool writes, and the interpolation that reads it. */
#include "ecu_types.h"

#define RPM_POINTS 20
#define LOAD_POINTS 10
#define GEARS 3
#define ZONES 4
#define CYLINDERS 5

typedef int16_t ign_map_t[RPM_POINTS][LOAD_POINTS]; /* a 2-D map as one type */
typedef uint8_t gear_ratio_row_t[ZONES];          /* a 1-D row type */

typedef struct {
  uint16_t magic;
  uint8_t version_major;
  uint8_t version_minor;
  uint32_t checksum;
} cal_header_t;

typedef struct {
  cal_header_t header;
  uint16_t rpm_axis[RPM_POINTS];
  uint16_t load_axis[LOAD_POINTS];
  ign_map_t ignition;                              /* degrees * 4 */
  int16_t fuel_trim[GEARS][ZONES][CYLINDERS];      /* 3-D: per gear, zone and cylinder */
  gear_ratio_row_t shift_points[GEARS];           /* array of an array type */
  struct {
    uint16_t idle_rpm;
    uint16_t max_rpm;
    int8_t idle_advance;
    uint8_t idle_gain_p;
    uint8_t idle_gain_i;
  } idle;
  q16_16_t lambda_target;
  float throttle_gain;
  double boost_limit_kpa;
} cal_page_t;

/* Reference page: constant, in flash; the tool leaves it out of the map. */
static const cal_page_t cal_reference = {
    .header = {0xCA1B, 4, 2, 0},
    .rpm_axis = {500, 750, 1000, 1250, 1500, 1750, 2000, 2500, 3000, 3500,
                 4000, 4500, 5000, 5500, 6000, 6500, 7000, 7500, 8000, 8500},
    .load_axis = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100},
    .idle = {800, 7000, 12, 40, 5},
    .lambda_target = 0x10000,
    .throttle_gain = 1.25f,
    .boost_limit_kpa = 180.5,
};

/* Working page in RAM, initialised from the reference page at start-up. */
cal_page_t g_cal_working;
/* Active page selector and a pointer the calibration tool follows. */
const cal_page_t *volatile g_cal_active;
uint8_t g_cal_page_select;
/* Maps per gear: an array whose element is itself a two-dimensional map. */
ign_map_t g_ign_map_per_gear[GEARS];
/* Last lookup, for measurement. */
static struct {
  uint8_t rpm_index;
  uint8_t load_index;
  int16_t value;
} last_lookup __attribute__((used)); /* measured: the last interpolation */

static unsigned axis_index(const uint16_t *axis, unsigned points, uint16_t value) {
  unsigned i = 0;
  while (i + 1u < points && axis[i + 1u] <= value)
    ++i;
  return i;
}

void calibration_init(void) {
  g_cal_working = cal_reference;
  for (unsigned r = 0; r < RPM_POINTS; ++r)
    for (unsigned l = 0; l < LOAD_POINTS; ++l)
      g_cal_working.ignition[r][l] = (int16_t)(40 + (int)r - (int)l * 2);
  for (unsigned g = 0; g < GEARS; ++g) {
    for (unsigned z = 0; z < ZONES; ++z) {
      g_cal_working.shift_points[g][z] = (uint8_t)(30 + g * 10 + z);
      for (unsigned c = 0; c < CYLINDERS; ++c)
        g_cal_working.fuel_trim[g][z][c] = (int16_t)((int)c - 2);
    }
    for (unsigned r = 0; r < RPM_POINTS; ++r)
      for (unsigned l = 0; l < LOAD_POINTS; ++l)
        g_ign_map_per_gear[g][r][l] = g_cal_working.ignition[r][l];
  }
  g_cal_active = &g_cal_working;
  g_cal_page_select = 1;
}

int16_t calibration_lookup_ignition(uint16_t rpm, uint16_t load) {
  const cal_page_t *page = g_cal_page_select ? g_cal_active : &cal_reference;
  unsigned r = axis_index(page->rpm_axis, RPM_POINTS, rpm);
  unsigned l = axis_index(page->load_axis, LOAD_POINTS, load);
  last_lookup.rpm_index = (uint8_t)r;
  last_lookup.load_index = (uint8_t)l;
  last_lookup.value = page->ignition[r][l];
  return last_lookup.value;
}

int16_t calibration_fuel_correction(uint8_t gear, uint8_t zone, uint8_t cyl) {
  if (gear >= GEARS || zone >= ZONES || cyl >= CYLINDERS)
    return 0;
  return (int16_t)(g_cal_working.fuel_trim[gear][zone][cyl] + g_ign_map_per_gear[gear][0][0] / 8);
}
