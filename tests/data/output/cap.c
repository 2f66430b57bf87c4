unsigned char first;
const unsigned char table[3] = {1, 2, 3};
unsigned char after;
