



static int count;
int *c_count(void) { return &count; }
