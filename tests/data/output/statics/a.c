/* a */








static int count;
int *a_count(void) { return &count; }
