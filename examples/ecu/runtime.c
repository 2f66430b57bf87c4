/* The two library routines the compiler may call on its own for block copies
   and clears; defined here so that the image links without a C library. */
#include <stddef.h>

void *memcpy(void *dest, const void *src, size_t n) {
  volatile unsigned char *d = dest;
  const unsigned char *s = src;
  while (n--)
    *d++ = *s++;
  return dest;
}

void *memset(void *dest, int value, size_t n) {
  volatile unsigned char *d = dest; /* volatile: keep the compiler from turning this loop into memset */
  while (n--)
    *d++ = (unsigned char)value;
  return dest;
}
