/* Thousands of leaves, so that the output files span many write chunks:
   bit fields signed and unsigned, a 16-byte base type and plain scalars. */
struct Cell {
  unsigned ready : 1;
  int level : 5;
  unsigned short count;
  _Complex double phase;
  signed char trim;
};

struct Cell cells[3000];
unsigned long long total;

int main(void) { return (int)total + cells[0].count; }
