// The servers the tests start as processes of their own, all on 127.0.0.1: any command (a
// Python web server, openssl's s_server, a PulseAudio daemon) and a real Icecast station
// (icecast_server.py). Each process ends with its object.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testservers {

struct ProcessOptions {
    std::string folder;                    // the working folder; empty: the test's own
    std::vector<std::string> environment;  // added to (or replacing in) the test's own
    bool quiet = true;                     // standard output and error to /dev/null
};

// A command started in the background; SIGTERM and a wait when it goes away.
class Process {
  public:
    Process() = default;
    explicit Process(std::vector<std::string> args, const ProcessOptions &options = {});
    ~Process() { Stop(); }
    Process(Process &&other) noexcept : pid_(other.pid_) { other.pid_ = -1; }
    Process &operator=(Process &&other) noexcept;
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    // Ends the process (SIGTERM, SIGKILL after 5 s) and reaps it; nothing when not running.
    void Stop();

  private:
    pid_t pid_ = -1;
};

// Runs a command to its end: its exit status, -1 when it did not start or did not exit.
int RunToEnd(std::vector<std::string> args, const ProcessOptions &options = {.quiet = false});

// A real Icecast server fed by ffmpeg with a tone, through tests/support/icecast_server.py.
struct StationOptions {
    std::string title = "First Song";
    std::string codec = "mp3";  // mp3, aac, vorbis, opus, flac
    std::string bitrate;        // empty: the script's own
    int metaint = 0;            // 0: Icecast's own
    int port = 0;               // 0: any free one, else the port of a server that went away
};

class IcecastStation {
  public:
    // Starts the server and waits (up to 30 s) until its mount is live; ready() says whether.
    explicit IcecastStation(const std::string &info_file, const StationOptions &options = {});

    bool ready() const { return !url_.empty(); }
    const std::string &url() const { return url_; }
    int port() const { return port_; }
    // What listeners see as StreamTitle from now on; true when the server took it.
    bool SetTitle(const std::string &title) const;
    void Stop() { process_.Stop(); }

  private:
    std::string info_file_, url_;
    int port_ = 0;
    Process process_;
};

}  // namespace testservers
