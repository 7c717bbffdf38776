// qeltx-pedal-sim: the virtual pedal on a pseudo-terminal. The first line on standard output
// is the terminal's path; the pedal is served until SIGINT or SIGTERM. SIGUSR1 and SIGUSR2
// press and release its B2 (SAVE) button, SIGHUP switches it off and on.
#include "pedal_sim/pedal_model.h"
#include "pedal_sim/pty_server.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

struct Arguments {
    bool help = false;
    bool bootloader = false;
    bool holdB2 = false;
    std::uint32_t paceBaud = 0;
    std::optional<unsigned> latencyMs;
    std::string dumpFlash;
    std::optional<unsigned> stored;
    bool silent = false;
    bool garbage = false;
    unsigned nackWrite = 0;
};

constexpr const char* kSynopsis =
    "usage: qeltx-pedal-sim [--bootloader] [--hold-b2] [--pace BAUD] [--latency-ms N] [--dump-flash FILE]\n"
    "                       [--stored N] [--silent] [--garbage] [--nack-write K]\n";

void usage() {
    std::fprintf(stderr, "%sTry 'qeltx-pedal-sim --help'.\n", kSynopsis);
}

void help() {
    std::printf("%s", kSynopsis);
    std::printf(
        "\nA virtual Qelt X pedal on a pseudo-terminal. The first line of output is the terminal's path,\n"
        "for qeltx-editor --port PATH or qeltx-cli --port PATH; the pedal is served until SIGINT or SIGTERM.\n\n"
        "options:\n"
        "  --bootloader      start in the serial bootloader, as when switched on with B2 held (8E1 on real\n"
        "                    hardware)\n"
        "  --hold-b2         B2 (SAVE) is held down from the start (see below)\n"
        "  --pace BAUD       deliver bytes at BAUD (10 bits a byte at 8N1, 11 at 8E1)\n"
        "  --latency-ms N    USB latency of a partly filled packet when pacing (default 16)\n"
        "  --dump-flash FILE write the flash (128 KiB from 0x08000000) to FILE on exit\n"
        "  --stored N        algorithm number held at start, 0 = none\n"
        "  --silent          take every command, answer nothing\n"
        "  --garbage         answer every command with as many bytes of noise\n"
        "  --nack-write K    refuse the K-th Write Memory of the bootloader\n"
        "  --help            this text\n\n"
        "The bootloader button:\n"
        "  The pedal's bootloader, which firmware upgrades talk to, is reached with its B2 (SAVE) button:\n"
        "  B2 held while the pedal restarts (the editor's Firmware Upgrade > Upgrade Mode and qeltx-cli\n"
        "  flash send the restart command) or while it is switched on. Without B2 a restart runs the\n"
        "  firmware again, and Upgrade Mode says \"Connection to bootloader failed\". Here B2 is worked\n"
        "  with signals to this process (PID), each said on standard error:\n"
        "    kill -USR1 PID    press B2 and keep it held\n"
        "    kill -USR2 PID    release B2\n"
        "    kill -HUP PID     switch the pedal off and on: into the bootloader while B2 is held\n"
        "  --hold-b2 holds B2 from the start, so Upgrade Mode and qeltx-cli flash reach the bootloader\n"
        "  with no signal. The bootloader's Go command, the last step of an upgrade, starts the firmware.\n");
}

std::optional<unsigned long> number(std::string_view text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const std::string s(text);
    const unsigned long v = std::strtoul(s.c_str(), &end, 10);
    if (*end != '\0') return std::nullopt;
    return v;
}

std::optional<Arguments> parse(int argc, char** argv) {
    Arguments a;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> std::optional<std::string_view> {
            if (i + 1 >= argc) return std::nullopt;
            return std::string_view(argv[++i]);
        };
        if (arg == "--help" || arg == "-h") {
            a.help = true;
        } else if (arg == "--bootloader") {
            a.bootloader = true;
        } else if (arg == "--hold-b2") {
            a.holdB2 = true;
        } else if (arg == "--silent") {
            a.silent = true;
        } else if (arg == "--garbage") {
            a.garbage = true;
        } else if (arg == "--pace" || arg == "--latency-ms" || arg == "--stored" || arg == "--nack-write") {
            const auto v = value();
            const auto n = v ? number(*v) : std::nullopt;
            if (!n) return std::nullopt;
            if (arg == "--pace") {
                if (*n == 0) return std::nullopt;
                a.paceBaud = static_cast<std::uint32_t>(*n);
            } else if (arg == "--latency-ms") {
                a.latencyMs = static_cast<unsigned>(*n);
            } else if (arg == "--nack-write") {
                if (*n == 0) return std::nullopt;
                a.nackWrite = static_cast<unsigned>(*n);
            } else {
                if (*n > 0xFF) return std::nullopt;
                a.stored = static_cast<unsigned>(*n);
            }
        } else if (arg == "--dump-flash") {
            const auto v = value();
            if (!v || v->empty()) return std::nullopt;
            a.dumpFlash = std::string(*v);
        } else {
            return std::nullopt;
        }
    }
    return a;
}

// A signal for the pedal: B2 pressed or released, the power switched; true for one that ends
// the program.
bool takeSignal(int signalFd, qeltx::pedal_sim::PedalModel& model) {
    using namespace qeltx::pedal_sim;
    signalfd_siginfo info{};
    if (read(signalFd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return false;
    switch (info.ssi_signo) {
        case SIGUSR1:
            model.setButton(control::kB2, true);
            std::fprintf(stderr, "qeltx-pedal-sim: B2 (SAVE) held\n");
            return false;
        case SIGUSR2:
            model.setButton(control::kB2, false);
            std::fprintf(stderr, "qeltx-pedal-sim: B2 (SAVE) released\n");
            return false;
        case SIGHUP:
            model.powerCycle();
            std::fprintf(stderr, "qeltx-pedal-sim: switched off and on, now running its %s\n",
                         model.mode() == PedalMode::Bootloader ? "bootloader" : "firmware");
            return false;
        default: return true;
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace qeltx::pedal_sim;
    const auto args = parse(argc, argv);
    if (!args) {
        usage();
        return kExitUsage;
    }
    if (args->help) {
        help();
        return 0;
    }
    // Signals are taken through a descriptor so the server's poll sees them.
    sigset_t handledSignals;
    sigemptyset(&handledSignals);
    sigaddset(&handledSignals, SIGINT);
    sigaddset(&handledSignals, SIGTERM);
    sigaddset(&handledSignals, SIGUSR1);
    sigaddset(&handledSignals, SIGUSR2);
    sigaddset(&handledSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &handledSignals, nullptr);
    const int signalFd = signalfd(-1, &handledSignals, SFD_CLOEXEC);
    if (signalFd < 0) {
        std::perror("signalfd");
        return kExitFailure;
    }
    try {
        PedalOptions options;
        options.startInBootloader = args->bootloader;
        if (args->stored) options.storedNumber = static_cast<std::uint8_t>(*args->stored);
        PedalModel model(options);
        model.faults().silent = args->silent;
        model.faults().garbage = args->garbage;
        model.nackWrite(args->nackWrite);
        if (args->holdB2) model.setButton(control::kB2, true);
        if (args->paceBaud != 0) {
            model.useRealTime();
            Pacing pacing;
            pacing.baud = args->paceBaud;
            if (args->latencyMs) pacing.latency = std::chrono::milliseconds(*args->latencyMs);
            model.setPacing(pacing);
            // The system may let a sleep run up to 50 µs over by default, which would make
            // every paced packet late by a varying amount: pacing asks for its times exactly.
            prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        }
        PtyServer server(model);
        std::printf("%s\n", server.slavePath().c_str());
        std::fflush(stdout);
        server.run(signalFd, [&] { return takeSignal(signalFd, model); });
        if (!args->dumpFlash.empty()) {
            std::ofstream out(args->dumpFlash, std::ios::binary | std::ios::trunc);
            const auto bytes = model.flash().bytes();
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            if (!out) {
                std::fprintf(stderr, "qeltx-pedal-sim: cannot write %s\n", args->dumpFlash.c_str());
                return kExitFailure;
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "qeltx-pedal-sim: %s\n", error.what());
        return kExitFailure;
    }
    close(signalFd);
    return 0;
}
