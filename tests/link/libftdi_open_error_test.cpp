// libftdi's open failures: which lets the editor try the next backend, and what the user reads
// for the others.
#include "link/libftdi_open_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace qeltx::link {
namespace {

using O = FtdiOpenOutcome;

// libftdi's own texts, as its open calls set them.
constexpr const char* kNotFound = "device not found";
constexpr const char* kConfigFailed = "unable to set usb configuration. Make sure the default FTDI driver is not in use";
constexpr const char* kUsbOpenFailed = "libusb_open() failed";

TEST(LibFtdiOpenError, EachReturnCodeHasItsOutcome) {
    struct Case {
        int code;
        int systemError;
        const char* text;
        O expected;
    };
    const Case cases[] = {
        {0, 0, "", O::Opened},
        {1, 0, "", O::Opened},
        {-3, 0, kNotFound, O::NotFound},
        // The same code from ftdi_usb_open_dev: the bridge is there, its configuration failed.
        {-3, 0, kConfigFailed, O::NotConfigurable},
        {-4, EACCES, kUsbOpenFailed, O::NoPermission},
        {-4, EPERM, kUsbOpenFailed, O::NoPermission},
        {-4, 0, kUsbOpenFailed, O::NoPermission},
        {-4, EBUSY, kUsbOpenFailed, O::InUse},
        {-4, ENODEV, kUsbOpenFailed, O::NotFound},
        {-4, ENOENT, kUsbOpenFailed, O::NotFound},
        {-4, EIO, kUsbOpenFailed, O::Failed},
        {-5, 0, "unable to claim usb device. Make sure the default FTDI driver is not in use", O::InUse},
        {-11, 0, "libusb_detach_kernel_driver() failed", O::InUse},
        {-6, 0, "ftdi_usb_reset failed", O::NotConfigurable},
        {-7, 0, "set baudrate failed", O::NotConfigurable},
        {-10, 0, "libusb_get_config_descriptor() failed", O::NotConfigurable},
        {-10, 0, "unable to close device", O::Failed},
        {-12, 0, "libusb_get_device_list() failed", O::NotFound},
        {-12, 0, "libusb_get_configuration () failed", O::NotConfigurable},
        {-8, 0, "ftdi context invalid", O::Failed},
        {-9, 0, "unable to fetch serial number", O::Failed},
        {-13, 0, "", O::Failed},
        {-666, 0, "", O::Failed},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(classifyFtdiOpen(c.code, c.systemError, c.text), c.expected)
            << "code " << c.code << ", errno " << c.systemError << ", \"" << c.text << "\"";
    }
}

TEST(LibFtdiOpenError, TheUserReadsTheHelpThatFits) {
    struct Case {
        O outcome;
        std::vector<std::string> mustSay;
    };
    const Case cases[] = {
        {O::NoPermission, {"No permission", "PEDAL1", kUsbOpenFailed, "packaging/99-qeltx.rules", "udevadm"}},
        {O::InUse, {"PEDAL1", "in use by another program", kUsbOpenFailed}},
        {O::NotConfigurable, {"PEDAL1", "found but could not be set up", kUsbOpenFailed}},
        {O::Failed, {"PEDAL1", "could not be opened", kUsbOpenFailed}},
    };
    for (const Case& c : cases) {
        const std::string problem = ftdiOpenProblem(c.outcome, "PEDAL1", kUsbOpenFailed);
        for (const std::string& part : c.mustSay) EXPECT_NE(problem.find(part), std::string::npos) << problem;
        // Only a refused permission is worth the udev rule.
        EXPECT_EQ(problem.find("udev") != std::string::npos, c.outcome == O::NoPermission) << problem;
    }
    EXPECT_EQ(ftdiOpenProblem(O::Opened, "PEDAL1", ""), "");
    EXPECT_EQ(ftdiOpenProblem(O::NotFound, "PEDAL1", kNotFound), "");
    EXPECT_EQ(ftdiOpenProblem(O::Failed, "PEDAL1", ""), "The USB device PEDAL1 could not be opened.");
}

}  // namespace
}  // namespace qeltx::link
