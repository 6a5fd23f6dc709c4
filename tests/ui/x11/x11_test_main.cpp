// The widget layer on a real X server: the program starts its own Xvfb (which picks a free
// display itself), runs the layer on Qt's xcb platform there, and stops the server after.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "qt_pool_threads.h"
#include "widgets.h"

namespace {

pid_t g_server = -1;

// Starts Xvfb and returns its display number, or -1.
int StartServer() {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    g_server = fork();
    if (g_server < 0) return -1;
    if (g_server == 0) {
        close(pipeFds[0]);
        const std::string fd = std::to_string(pipeFds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
               "tcp", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    std::string number;
    pollfd wait{pipeFds[0], POLLIN, 0};
    while (poll(&wait, 1, 10000) > 0) {
        char c = 0;
        if (read(pipeFds[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    close(pipeFds[0]);
    return number.empty() ? -1 : std::atoi(number.c_str());
}

void StopServer() {
    if (g_server <= 0) return;
    kill(g_server, SIGTERM);
    waitpid(g_server, nullptr, 0);
    g_server = -1;
}

bool OnlyListing(int argc, char **argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0) return true;
    return false;
}

}  // namespace

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (OnlyListing(argc, argv)) return RUN_ALL_TESTS();
    const int display = StartServer();
    if (display < 0) {
        std::fprintf(stderr, "could not start Xvfb\n");
        StopServer();
        return 1;
    }
    setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    InitWidgetLayer();
    const int result = RUN_ALL_TESTS();
    ReleaseWidgetLayer();
    WaitForQtPoolThreadsToEnd();
    StopServer();
    return result;
}
