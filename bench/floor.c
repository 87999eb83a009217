/* The floor for one scripted session: a static C program that reads the same
   input and writes the same bytes with the same system calls as quorvast,
   and does nothing else. bench/run generates floor_output.h from a real run:
   the three pieces of output written before the name read, before the H read,
   and before the exit-key read. */
#include <unistd.h>

#include "floor_output.h"

static void put(const char *bytes, unsigned long size) {
  if (write(1, bytes, size) < 0) _exit(2);
}

int main(void) {
  static char block[16384];
  put(BEFORE_NAME, sizeof BEFORE_NAME - 1);
  if (read(0, block, sizeof block) < 0) return 2;
  put(BEFORE_H, sizeof BEFORE_H - 1);
  put(BEFORE_KEY, sizeof BEFORE_KEY - 1);
  return 0;
}
