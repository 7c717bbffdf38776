// The meaning of libftdi's open failures.
#include "link/libftdi_open_error.h"

#include <cerrno>

namespace qeltx::link {

namespace {

// ftdi_usb_open_desc's and ftdi_usb_open_dev's return codes (libftdi 1.x).
constexpr int kNotFoundOrUnconfigurable = -3;  // device not found / unable to set usb configuration
constexpr int kCannotOpen = -4;                // libusb_open() failed
constexpr int kCannotClaim = -5;               // unable to claim usb device
constexpr int kResetFailed = -6;
constexpr int kBaudRateFailed = -7;
constexpr int kConfigDescriptorFailed = -10;   // libusb_get_config_descriptor() failed (or closing one failed)
constexpr int kCannotDetach = -11;             // libusb_detach_kernel_driver() failed
constexpr int kListOrConfigurationFailed = -12;  // libusb_get_device_list() / libusb_get_configuration() failed

bool mentions(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

}  // namespace

FtdiOpenOutcome classifyFtdiOpen(int code, int systemError, std::string_view libftdiText) {
    if (code >= 0) return FtdiOpenOutcome::Opened;
    switch (code) {
    case kNotFoundOrUnconfigurable:
        return mentions(libftdiText, "configuration") ? FtdiOpenOutcome::NotConfigurable : FtdiOpenOutcome::NotFound;
    case kCannotOpen:
        switch (systemError) {
        case EBUSY: return FtdiOpenOutcome::InUse;
        // Unplugged between the listing and the open.
        case ENODEV:
        case ENOENT: return FtdiOpenOutcome::NotFound;
        case ENOMEM:
        case EIO: return FtdiOpenOutcome::Failed;
        // EACCES and EPERM, and no error number at all: libusb_open on a device node the user
        // may not open is by far the commonest cause, and the help is what the user needs.
        default: return FtdiOpenOutcome::NoPermission;
        }
    case kCannotClaim:
    case kCannotDetach:
        return FtdiOpenOutcome::InUse;
    case kResetFailed:
    case kBaudRateFailed:
        return FtdiOpenOutcome::NotConfigurable;
    case kConfigDescriptorFailed:
        return mentions(libftdiText, "config") ? FtdiOpenOutcome::NotConfigurable : FtdiOpenOutcome::Failed;
    case kListOrConfigurationFailed:
        // Without a device list nothing can be found here; another backend may still reach it.
        return mentions(libftdiText, "device_list") ? FtdiOpenOutcome::NotFound : FtdiOpenOutcome::NotConfigurable;
    default:
        return FtdiOpenOutcome::Failed;
    }
}

std::string ftdiOpenProblem(FtdiOpenOutcome outcome, const std::string& serial, const std::string& libftdiText) {
    const std::string device = "the USB device " + serial;
    const std::string why = libftdiText.empty() ? std::string() : " (" + libftdiText + ")";
    switch (outcome) {
    case FtdiOpenOutcome::Opened:
    case FtdiOpenOutcome::NotFound: return {};
    case FtdiOpenOutcome::NoPermission:
        return "No permission to open " + device + why + ". " + std::string(kUdevRuleHelp) + ".";
    case FtdiOpenOutcome::InUse:
        return "The USB device " + serial + " is in use by another program" + why +
               ". Close any other program using the pedal; if none is open, ModemManager or brltty may be "
               "holding it.";
    case FtdiOpenOutcome::NotConfigurable:
        return "The USB device " + serial + " was found but could not be set up" + why +
               ". Unplug the pedal, plug it in again and link once more.";
    case FtdiOpenOutcome::Failed: break;
    }
    return "The USB device " + serial + " could not be opened" + (libftdiText.empty() ? "." : ": " + libftdiText);
}

}  // namespace qeltx::link
