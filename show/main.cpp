#include "show/show.h"

int main() { return demo_main(); }
