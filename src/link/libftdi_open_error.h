// What a failed libftdi open means for the user, decided from libftdi's own return code, so
// that only "no such bridge" lets the editor move on to the next backend and every other
// failure is put in front of the user with the help that fits it.
#pragma once

#include <string>
#include <string_view>

namespace qeltx::link {

// How to give a logged-in Linux user the pedal: the udev rule shipped in packaging/.
inline constexpr std::string_view kUdevRuleHelp =
    "Install the udev rule that comes with the editor (sudo cp packaging/99-qeltx.rules "
    "/etc/udev/rules.d/ && sudo udevadm control --reload, then unplug and replug the pedal)";

enum class FtdiOpenOutcome {
    Opened,
    NotFound,         // no bridge with that serial number here: the next backend may have it
    NoPermission,     // the bridge is there but the user may not open it
    InUse,            // the bridge is there but a kernel driver or another program holds it
    NotConfigurable,  // the bridge was found and opened but would not take its configuration
    Failed,           // anything else libftdi or libusb could not do
};

// Sorts the return code of ftdi_usb_open_desc (which passes ftdi_usb_open_dev's on) into an
// outcome. `systemError` is errno just after the call: libftdi folds libusb's reasons for a
// failed libusb_open into one code (-4), and the system's error still tells a refused
// permission (EACCES, EPERM) from a busy or vanished device. libftdi gives a few codes two
// meanings, one from each of its two open calls (-3 is both "device not found" and "unable to
// set usb configuration"); `libftdiText`, its error string, tells those apart.
FtdiOpenOutcome classifyFtdiOpen(int code, int systemError, std::string_view libftdiText);

// The line for the user about a failed open of the bridge `serial`; empty for Opened and
// NotFound, which the user is not told about here.
std::string ftdiOpenProblem(FtdiOpenOutcome outcome, const std::string& serial, const std::string& libftdiText);

}  // namespace qeltx::link
