/* Measurement variables of every C base type, signed and unsigned, and
   pointers to them. */
#include "ecu_types.h"

char g_char;
signed char g_schar;
unsigned char g_uchar;
short g_short;
unsigned short g_ushort;
int g_int;
unsigned int g_uint;
long g_long;
unsigned long g_ulong;
long long g_llong;
unsigned long long g_ullong;
float g_float;
double g_double;
long double g_ldouble;
_Bool g_bool;
wchar_t g_wchar;
int8_t g_i8;
uint8_t g_u8;
int16_t g_i16;
uint16_t g_u16;
int32_t g_i32;
uint32_t g_u32;
int64_t g_i64;
uint64_t g_u64;
size_t g_size;
ptrdiff_t g_ptrdiff;
intptr_t g_intptr;

/* Pointers: to data, to const data, to volatile data, to pointers, to functions. */
int32_t *g_ptr_i32;
const char *g_ptr_text;
volatile uint16_t *g_ptr_vu16;
uint8_t **g_ptr_ptr;
void *g_ptr_void;
void (*g_fn_ptr)(void);
int16_t (*g_fn_lookup)(uint16_t, uint16_t);
filter_fn_t g_filters[4];

/* const and volatile qualifiers. */
volatile int32_t g_volatile_i32;
const volatile uint32_t g_const_volatile_status = 0x5A5A; /* const: left out */
volatile const uint8_t *volatile g_volatile_ptr_to_const;
const uint16_t g_const_limit = 4000; /* const: left out */
uint16_t *const g_const_ptr = &g_u16; /* the pointer itself is const: left out */

static uint8_t byte_pool[20];
static uint8_t *pool_cursor = byte_pool;

void basetypes_init(void) {
  g_char = 'A';
  g_schar = -1;
  g_uchar = 255;
  g_short = -32768;
  g_ushort = 65535;
  g_int = -1;
  g_uint = 1u;
  g_long = -2;
  g_ulong = 2;
  g_llong = -3;
  g_ullong = 3;
  g_float = 1.5f;
  g_double = 2.5;
  g_ldouble = 3.5L;
  g_bool = 1;
  g_wchar = L'Z';
  g_ptr_i32 = &g_i32;
  g_ptr_text = "ecu";
  g_ptr_vu16 = &g_u16;
  g_ptr_ptr = &pool_cursor;
  g_ptr_void = byte_pool;
  g_fn_ptr = basetypes_task;
  g_fn_lookup = calibration_lookup_ignition;
  g_volatile_ptr_to_const = (volatile const uint8_t *)&g_const_volatile_status;
}

void basetypes_task(void) {
  g_i8++;
  g_u8 = (uint8_t)(g_u8 + (uint8_t)g_i8);
  g_i16 = (int16_t)(g_i16 - 7);
  g_u16 = (uint16_t)(g_u16 + *g_const_ptr / 2u + g_const_limit / 1000u);
  g_i32 += g_volatile_i32;
  g_u32 ^= g_const_volatile_status;
  g_i64 += g_i32;
  g_u64 = (g_u64 << 1) | (g_u32 & 1u);
  g_size = sizeof g_ldouble + (size_t)g_char + (size_t)g_schar + g_uchar + (size_t)g_short + g_ushort;
  g_int += (int)g_uint + (int)g_long + (int)g_ulong + (int)g_llong + (int)g_ullong + g_bool + (int)g_wchar;
  g_ptrdiff = pool_cursor - byte_pool;
  g_intptr = (intptr_t)g_ptr_void;
  if (++pool_cursor >= byte_pool + sizeof byte_pool)
    pool_cursor = byte_pool;
  *pool_cursor = *g_volatile_ptr_to_const;
}
