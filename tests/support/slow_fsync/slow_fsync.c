/* A disk whose fsync is slow, for the tests: preloaded (LD_PRELOAD), every fsync and
   fdatasync of the process first sleeps VOLNAR_TEST_FSYNC_DELAY_MS milliseconds, then does
   its work. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

static void Delay(void) {
    const char *text = getenv("VOLNAR_TEST_FSYNC_DELAY_MS");
    const long ms = text ? strtol(text, NULL, 10) : 0;
    if (ms <= 0) return;
    struct timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0) {
    }
}

int fsync(int fd) {
    static int (*real)(int);
    if (!real) real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    Delay();
    return real(fd);
}

int fdatasync(int fd) {
    static int (*real)(int);
    if (!real) real = (int (*)(int))dlsym(RTLD_NEXT, "fdatasync");
    Delay();
    return real(fd);
}
