


















static int count;
int *b_count(void) { return &count; }
