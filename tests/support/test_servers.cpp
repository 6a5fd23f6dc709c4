#include "test_servers.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <thread>

extern char **environ;

namespace testservers {
namespace {

const std::string kIcecastScript = std::string(VOLNAR_SUPPORT_DIR) + "/icecast_server.py";

pid_t Spawn(std::vector<std::string> args, const ProcessOptions &options) {
    std::vector<char *> argv;
    for (auto &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    std::vector<std::string> env_strings;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const auto &extra : options.environment)
            replaced |= extra.compare(0, name.size(), name) == 0;
        if (!replaced) env_strings.push_back(entry);
    }
    env_strings.insert(env_strings.end(), options.environment.begin(), options.environment.end());
    std::vector<char *> envp;
    for (auto &e : env_strings)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!options.folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.folder.c_str());
    if (options.quiet) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

bool WaitForFile(const std::string &path, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (access(path.c_str(), R_OK) != 0) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace

Process::Process(std::vector<std::string> args, const ProcessOptions &options)
    : pid_(Spawn(std::move(args), options)) {}

Process &Process::operator=(Process &&other) noexcept {
    if (this != &other) {
        Stop();
        pid_ = other.pid_;
        other.pid_ = -1;
    }
    return *this;
}

void Process::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 500 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (waitpid(pid_, &status, WNOHANG) == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    }
    pid_ = -1;
}

int RunToEnd(std::vector<std::string> args, const ProcessOptions &options) {
    const pid_t pid = Spawn(std::move(args), options);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

IcecastStation::IcecastStation(const std::string &info_file, const StationOptions &options)
    : info_file_(info_file) {
    unlink(info_file_.c_str());
    std::vector<std::string> args = {"/usr/bin/python3", kIcecastScript, "serve",
                                     "--info-file",      info_file_,     "--title",
                                     options.title,      "--codec",      options.codec};
    if (!options.bitrate.empty()) args.insert(args.end(), {"--bitrate", options.bitrate});
    if (options.metaint > 0)
        args.insert(args.end(), {"--metaint", std::to_string(options.metaint)});
    if (options.port > 0) args.insert(args.end(), {"--port", std::to_string(options.port)});
    // The script's own messages stay visible: they say why a server did not come up.
    process_ = Process(args, {.quiet = false});
    if (!process_.started() || !WaitForFile(info_file_, std::chrono::seconds(30))) return;
    std::ifstream file(info_file_);
    const std::string json((std::istreambuf_iterator<char>(file)), {});
    std::smatch match;
    if (std::regex_search(json, match, std::regex("\"port\": (\\d+)"))) port_ = std::stoi(match[1]);
    if (std::regex_search(json, match, std::regex("\"url\": \"([^\"]+)\""))) url_ = match[1];
}

bool IcecastStation::SetTitle(const std::string &title) const {
    return RunToEnd({"/usr/bin/python3", kIcecastScript, "title", "--info-file", info_file_,
                     title}) == 0;
}

}  // namespace testservers
