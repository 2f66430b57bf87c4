/* Bit fields in the shapes a firmware uses: compiled at DWARF 4 (which gives
 * DW_AT_bit_offset) and DWARF 5 (which gives DW_AT_data_bit_offset), little and
 * big endian, so the reader's conversion can be checked against gcc itself. */
#include <stdint.h>

struct flags_t {
  uint8_t ready : 1;
  uint8_t fault : 1;
  uint8_t mode : 3;
  uint8_t reserved : 3;
};

struct __attribute__((packed)) packed_t {
  uint8_t a;
  uint32_t b : 20;
  uint32_t c : 12;
  uint16_t d : 9;
  uint8_t e : 7;
};

struct mixed_t {
  uint16_t head;
  uint32_t low : 5;
  uint32_t wide : 27;
  int8_t sign : 4;
  int16_t span : 11;
  uint8_t tail[3];
  uint64_t big : 40;
  uint64_t rest : 24;
};

struct __attribute__((packed)) straddle_t {
  uint8_t pad[3];
  uint32_t across : 13;
  uint16_t after : 5;
};

union register_t {
  uint32_t word;
  struct {
    uint32_t enable : 1;
    uint32_t channel : 4;
    uint32_t : 3;
    uint32_t divider : 8;
    uint32_t spare : 16;
  } bits;
};

struct flags_t flags_value;
struct packed_t packed_value;
struct mixed_t mixed_value;
struct straddle_t straddle_value;
union register_t register_value;
