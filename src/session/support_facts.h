// What the editor and qeltx-cli both put in a support report: the program, the computer, the
// driver layer's backends and devices and the trace of messages, taken from the one D2XXUnit.
// The caller adds what only it knows (the link, the algorithm held, its console lines).
#pragma once

#include "core/support_report.h"
#include "link/d2xx_unit.h"

#include <QString>

#include <vector>

namespace qeltx::session {

// Every backend of the driver layer and whether it can reach devices.
std::vector<core::ReportBackend> driverBackends(link::Driver& driver);

// Every device the backends list now, in the order Link sees them, with the backend that lists
// each. Quiet: a listing that fails gives fewer devices, not a message box.
std::vector<core::ListedDevice> listDevices(link::D2XXUnit& usb);

// The home folder in every spelling a console line may hold.
core::PrivateFolders privateFolders();

// The report's common part for `program` at `version`, as of now.
core::SupportReport supportReportBase(link::D2XXUnit& usb, const QString& program, const QString& version);

}  // namespace qeltx::session
