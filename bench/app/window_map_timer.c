/* Times the whole player process under X: from fork to the MapNotify of its first top-level
 * window (the main window), over several runs; prints each run and the median in ms.
 * Usage: window_map_timer RUNS WORKDIR PROGRAM  (DISPLAY must name a running server). */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double NowMs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static int CompareDoubles(const void *a, const void *b) {
    const double x = *(const double *)a, y = *(const double *)b;
    return (x > y) - (x < y);
}

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s RUNS WORKDIR PROGRAM\n", argv[0]);
        return 2;
    }
    const int runs = atoi(argv[1]);
    if (runs < 1 || runs > 1000) return 2;
    Display *display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "cannot open display\n");
        return 1;
    }
    Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, True);

    double *times = calloc((size_t)runs, sizeof *times);
    for (int run = 0; run < runs; ++run) {
        XSync(display, True); /* drop events of the previous run */
        const double start = NowMs();
        pid_t child = fork();
        if (child == 0) {
            if (chdir(argv[2]) != 0) _exit(127);
            execl(argv[3], argv[3], (char *)NULL);
            _exit(127);
        }
        double mapped = -1;
        while (mapped < 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify) mapped = NowMs() - start;
        }
        times[run] = mapped;
        printf("run %d: %.1f ms\n", run + 1, mapped);
        usleep(300 * 1000); /* let it settle, as a user would see it */
        kill(child, SIGTERM);
        waitpid(child, NULL, 0);
    }
    qsort(times, (size_t)runs, sizeof *times, CompareDoubles);
    const double median = runs % 2 ? times[runs / 2] : (times[runs / 2 - 1] + times[runs / 2]) / 2;
    printf("median: %.1f ms over %d runs\n", median, runs);
    free(times);
    XCloseDisplay(display);
    return 0;
}
