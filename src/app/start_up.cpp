#include "start_up.h"

#include <cstdlib>

void StartUp() { ShutDown(); }
void ShutDown() { std::exit(0); }
