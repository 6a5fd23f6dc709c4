#include <string>
#include <vector>

#include "start_up.h"

int main(int argc, char **argv) {
    StartUp(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0)));
}
