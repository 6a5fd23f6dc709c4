#include "start_up.h"

int main() {
    StartUp();
}
