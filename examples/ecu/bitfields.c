/* Status words and packed telegrams: bit fields of every width from 1 to 31
   bits, signed and unsigned, in storage units of 1, 2, 4 and 8 bytes, packed
   and unpacked, many of them crossing byte boundaries. */
#include "ecu_types.h"

/* Unsigned widths 1 to 31 in 32-bit units: a field that does not fit into
   the rest of its unit starts the next one. */
typedef struct {
  uint32_t u1 : 1, u2 : 2, u3 : 3, u4 : 4, u5 : 5, u6 : 6, u7 : 7;
  uint32_t u8 : 8, u9 : 9, u10 : 10, u11 : 11, u12 : 12, u13 : 13, u14 : 14;
  uint32_t u15 : 15, u16 : 16, u17 : 17, u18 : 18, u19 : 19, u20 : 20, u21 : 21;
  uint32_t u22 : 22, u23 : 23, u24 : 24, u25 : 25, u26 : 26, u27 : 27, u28 : 28;
  uint32_t u29 : 29, u30 : 30, u31 : 31;
} widths_unsigned_t;

/* The same widths signed. */
typedef struct {
  int32_t s1 : 1, s2 : 2, s3 : 3, s4 : 4, s5 : 5, s6 : 6, s7 : 7;
  int32_t s8 : 8, s9 : 9, s10 : 10, s11 : 11, s12 : 12, s13 : 13, s14 : 14;
  int32_t s15 : 15, s16 : 16, s17 : 17, s18 : 18, s19 : 19, s20 : 20, s21 : 21;
  int32_t s22 : 22, s23 : 23, s24 : 24, s25 : 25, s26 : 26, s27 : 27, s28 : 28;
  int32_t s29 : 29, s30 : 30, s31 : 31;
} widths_signed_t;

/* Storage units of every size, with fields that cross byte boundaries. */
typedef struct {
  uint8_t b_lo : 3;    /* 1-byte unit */
  uint8_t b_hi : 5;
  int8_t b_signed : 6; /* new byte: does not fit behind b_hi */
  uint16_t w_a : 5;    /* 2-byte unit, shares the byte of b_signed */
  uint16_t w_b : 6;    /* crosses a byte boundary */
  int16_t w_c : 9;
  uint32_t d_a : 12;   /* 4-byte unit */
  int32_t d_b : 17;
  uint64_t q_a : 40;   /* 8-byte unit */
  uint64_t q_b : 24;
  int64_t q_c : 33;
  uint64_t q_d : 7;
  bool flag : 1;
  ecu_mode_t mode : 3; /* an enumeration as bit field */
  trend_t trend : 2;   /* a signed enumeration as bit field */
  unsigned int plain_u : 4;
  int plain_s : 4;
  signed char sc : 3;
  unsigned long ul : 30;
} units_t;

/* Packed layouts: fields that straddle their declared unit. */
typedef struct __attribute__((packed)) {
  uint8_t a;
  uint32_t b : 20;
  uint32_t c : 12;
  uint16_t d : 9;
  uint8_t e : 7;
} packed_telegram_t;

typedef struct __attribute__((packed)) {
  uint8_t sync : 3;
  uint16_t length : 11; /* straddles bytes 0 to 1 */
  uint32_t sequence : 22;
  int16_t offset : 13; /* crosses into the fifth byte */
  uint64_t timestamp : 48;
  uint8_t checksum;
} packed_frame_header_t;

/* Unpacked but with a narrow leading member. */
typedef struct {
  uint8_t id;
  uint16_t value : 12;
  uint16_t quality : 4;
  int32_t delta : 20;
  uint8_t tail : 2;
} sample_word_t;

typedef struct {
  uint8_t active : 1;
  uint8_t latched : 1;
  uint8_t count : 6;
} dtc_flags_t;

widths_unsigned_t g_widths_u;
widths_signed_t g_widths_s;
units_t g_units;
packed_telegram_t g_telegram;
packed_frame_header_t g_frame_header;
sample_word_t g_samples[5];
dtc_flags_t g_dtc_flags[20];
static dtc_flags_t flags_shadow;

void bitfields_init(void) {
  g_widths_u.u1 = 1;
  g_widths_u.u31 = 0x7FFFFFFFu;
  g_widths_s.s1 = -1;
  g_widths_s.s31 = -5;
  g_units.q_a = 0xFFFFFFFFFFull;
  g_units.q_c = -1;
  g_units.mode = MODE_RUN;
  g_units.trend = TREND_FALLING;
  g_telegram.d = 0x1FF;
  g_frame_header.length = 0x7FF;
  flags_shadow.count = 63;
}

void bitfields_task(void) {
  static uint32_t cycles; /* bitfields_task@cycles */
  ++cycles;
  g_widths_u.u7 = (uint32_t)(cycles & 0x7Fu);
  g_widths_u.u17 = g_widths_u.u7 + g_widths_u.u1;
  g_widths_s.s9 = (int32_t)(g_widths_u.u7) - 64;
  g_units.b_hi = (uint8_t)(g_units.b_hi + 1u);
  g_units.w_b = (uint16_t)(g_units.w_b + g_units.b_lo);
  g_units.d_b = g_units.d_b - 1;
  g_units.q_b = g_units.q_b + 3u;
  g_units.flag = !g_units.flag;
  g_telegram.b = g_telegram.b + 1u;
  g_frame_header.sequence = g_frame_header.sequence + 1u;
  g_frame_header.timestamp = g_system_ms;
  g_frame_header.checksum = (uint8_t)(g_frame_header.sequence ^ g_telegram.a);
  sample_word_t *s = &g_samples[cycles % 5u];
  s->value = (uint16_t)(g_system_ms & 0xFFFu);
  s->quality = 3;
  s->delta = (int32_t)s->value - 2048;
  dtc_flags_t *f = &g_dtc_flags[cycles % 20u];
  f->active = (uint8_t)(g_units.flag ? 1u : 0u);
  f->count = (uint8_t)(f->count + flags_shadow.latched);
  flags_shadow.latched = f->active;
}
