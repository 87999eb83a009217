// The program's entry: the dialogue on the standard streams, nothing else.
#include "dialogue/console_dialogue.h"

int main() { quorvast::run_console_dialogue(); }
