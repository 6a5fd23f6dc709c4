// A sound device that goes away while playing, against a real PulseAudio server started by the
// test with null sinks. The sink in use is removed: the sound server moves the stream to the
// other sink itself. The server then ends the output's stream, which the output sees as its
// device gone: it opens the default device within a second and the stream goes on from where
// it was (once the sound server has started the new stream, which takes it a second or two). With
// no sink at all the silent clock keeps time, and the next stream finds a device that has come
// back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "audio_engine.h"
#include "test_media.h"
#include "test_servers.h"

using namespace std::chrono_literals;

namespace {

std::string Run(const std::string &command) {
    std::string out;
    FILE *pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

// Lines of `pactl list short WHAT` whose second column is the sink index (sink inputs), or
// the whole lines.
std::vector<std::string> Short(const std::string &what) {
    std::istringstream lines(Run("pactl list short " + what));
    std::vector<std::string> out;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) out.push_back(line);
    return out;
}

std::string Column(const std::string &line, int index) {
    std::istringstream fields(line);
    std::string field;
    for (int i = 0; i <= index; ++i)
        fields >> field;
    return field;
}

// The name of the sink the one playing stream goes to; empty when nothing plays.
std::string SinkInUse() {
    const auto inputs = Short("sink-inputs");
    if (inputs.size() != 1) return {};
    for (const std::string &sink : Short("sinks"))
        if (Column(sink, 0) == Column(inputs[0], 1)) return Column(sink, 1);
    return {};
}

bool RemoveSink(const std::string &name) {
    for (const std::string &module : Short("modules"))
        if (module.find("sink_name=" + name) != std::string::npos)
            return std::system(("pactl unload-module " + Column(module, 0)).c_str()) == 0;
    return false;
}

double HeardSeconds(HSTREAM handle) {
    return BASS_ChannelBytes2Seconds(handle, BASS_ChannelGetPosition(handle, BASS_POS_BYTE));
}

// In a child with SDL's PulseAudio driver and the test's server.
TEST(LostDeviceChild, DISABLED_PlaysOnAcrossRemovedSinks) {
    ASSERT_EQ(BASS_Init(-1, 44100, 0, nullptr, nullptr), TRUE);
    const char *file = std::getenv("VOLNAR_CHILD_FILE");
    ASSERT_NE(file, nullptr);
    HSTREAM handle = BASS_StreamCreateFile(FALSE, file, 0, 0, 0);
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    ASSERT_TRUE(testmedia::WaitUntil([&] { return HeardSeconds(handle) > 0.5; }, 5s));
    ASSERT_EQ(SinkInUse(), "first");

    // The sink in use goes away: the stream plays on the other one.
    double before = HeardSeconds(handle);
    ASSERT_TRUE(RemoveSink("first"));
    EXPECT_TRUE(testmedia::WaitUntil([] { return SinkInUse() == "second"; }, 1000ms));
    std::this_thread::sleep_for(1000ms);
    EXPECT_GT(HeardSeconds(handle), before + 0.6);

    // The device vanishes under the output: within a second it plays on the default device,
    // from where it was.
    const auto inputs = Short("sink-inputs");
    ASSERT_EQ(inputs.size(), 1u);
    const std::string old_input = Column(inputs[0], 0);
    before = HeardSeconds(handle);
    ASSERT_EQ(std::system(("pacmd kill-sink-input " + old_input).c_str()), 0);
    EXPECT_TRUE(testmedia::WaitUntil(
        [&] {
            const auto now = Short("sink-inputs");
            return now.size() == 1 && Column(now[0], 0) != old_input && SinkInUse() == "second";
        },
        1000ms));
    // Where it was: the frames given to the lost device are not heard again or skipped.
    EXPECT_NEAR(HeardSeconds(handle), before, 0.5);
    // The sound server takes a moment to start a new stream; then it plays on.
    EXPECT_TRUE(testmedia::WaitUntil([&] { return HeardSeconds(handle) > before + 1.0; }, 6s));
    EXPECT_EQ(BASS_ChannelIsActive(handle), static_cast<DWORD>(BASS_ACTIVE_PLAYING));

    // No sink at all: the clock keeps time.
    ASSERT_TRUE(RemoveSink("second"));
    std::this_thread::sleep_for(1000ms);
    const double silent_start = HeardSeconds(handle);
    std::this_thread::sleep_for(1000ms);
    const double silent = HeardSeconds(handle) - silent_start;
    EXPECT_GT(silent, 0.8);
    EXPECT_LT(silent, 1.2);

    // A device comes back; the next stream plays on it.
    ASSERT_EQ(std::system("pactl load-module module-null-sink sink_name=third >/dev/null"), 0);
    ASSERT_EQ(std::system("pactl set-default-sink third"), 0);
    BASS_StreamFree(handle);
    handle = BASS_StreamCreateFile(FALSE, file, 0, 0, 0);
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    EXPECT_TRUE(testmedia::WaitUntil([] { return SinkInUse() == "third"; }, 3s));
    EXPECT_TRUE(testmedia::WaitUntil([&] { return HeardSeconds(handle) > 0.3; }, 3s));
    BASS_StreamFree(handle);
}

TEST(LostDevice, SinkRemovedWhilePlaying_PlaysOnAndTheClockKeepsTime) {
    testmedia::TempDir dir;
    const std::string wav = dir.Path("t.wav");
    ASSERT_TRUE(testmedia::WriteWav(wav, 44100, 2, testmedia::SampleKind::kInt16,
                                    testmedia::Sine(440, 30.0, 44100, 2, 0.3)));
    const std::string socket = dir.Path("native");
    std::ofstream(dir.Path("server.pa"))
        << "load-module module-native-protocol-unix socket=" << socket << " auth-anonymous=1\n"
        << "load-module module-null-sink sink_name=first\n"
        << "load-module module-null-sink sink_name=second\n"
        << "load-module module-cli-protocol-unix\n"  // for pacmd
        << "set-default-sink first\n";
    // A server of the test's own: its own folders, no default script, no other client.
    const std::vector<std::string> environment = {
        "HOME=" + dir.Path(""), "XDG_RUNTIME_DIR=" + dir.Path(""),
        "PULSE_RUNTIME_PATH=" + dir.Path("runtime"), "PULSE_STATE_PATH=" + dir.Path("state"),
        "PULSE_SERVER=unix:" + socket};
    std::vector<std::string> args = {"/usr/bin/pulseaudio",
                                     "-n",
                                     "-F",
                                     dir.Path("server.pa"),
                                     "--daemonize=no",
                                     "--exit-idle-time=-1",
                                     "--log-target=stderr"};
    // Its messages on standard error stay out of the test's output; standard output is
    // empty anyway.
    testservers::Process server(args, {.environment = environment, .quiet = true});
    ASSERT_TRUE(server.started());
    ASSERT_TRUE(testmedia::WaitUntil([&] { return access(socket.c_str(), F_OK) == 0; }, 10s));

    std::vector<std::string> child = environment;
    child.insert(child.end(), {"SDL_AUDIODRIVER=pulseaudio", "VOLNAR_CHILD_FILE=" + wav});
    EXPECT_EQ(
        testmedia::RunTestInChild("LostDeviceChild.DISABLED_PlaysOnAcrossRemovedSinks", child), 0);
}

}  // namespace
