// Gathering the support report's common part.
#include "session/support_facts.h"

#include "link/composite_driver.h"
#include "link/d2xx_library_backend.h"

#include <QDateTime>
#include <QDir>
#include <QSysInfo>
#include <QtGlobal>

#include <algorithm>

namespace qeltx::session {

namespace {

std::string text(const QString& s) { return s.toStdString(); }

void addSpellings(std::vector<std::string>& out, const QString& folder) {
    if (folder.isEmpty()) return;
    for (const QString& spelling : {folder, QDir::toNativeSeparators(folder), QDir(folder).canonicalPath()}) {
        if (spelling.isEmpty()) continue;
        const std::string s = text(spelling);
        if (std::find(out.begin(), out.end(), s) == out.end()) out.push_back(s);
    }
}

}  // namespace

std::vector<core::ReportBackend> driverBackends(link::Driver& driver) {
    std::vector<link::Driver*> backends{&driver};
    if (auto* composite = dynamic_cast<link::CompositeDriver*>(&driver)) backends = composite->backends();
    std::vector<core::ReportBackend> out;
    for (link::Driver* backend : backends) {
        core::ReportBackend entry{backend->backendName(), {}};
        if (auto* d2xx = dynamic_cast<link::D2xxLibraryDriver*>(backend); d2xx && !d2xx->isAvailable()) {
            entry.state = "not installed: " + d2xx->loadProblem();
        }
        out.push_back(std::move(entry));
    }
    return out;
}

std::vector<core::ListedDevice> listDevices(link::D2XXUnit& usb) {
    const bool reportsWereOn = usb.showDeviceErrors;
    usb.showDeviceErrors = false;
    std::vector<core::ListedDevice> devices;
    auto* composite = dynamic_cast<link::CompositeDriver*>(&usb.driver());
    if (usb.GetFTDeviceCount() == core::FT_OK) {
        for (std::uint32_t i = 0; i < usb.deviceCount; ++i) {
            core::ListedDevice device;
            device.index = i;
            if (usb.GetFTDeviceSerialNo(i) == core::FT_OK) device.serial = usb.deviceString;
            if (usb.GetFTDeviceDescription(i) == core::FT_OK) device.description = usb.deviceString;
            const link::Driver* backend = composite ? composite->listedBackend(i) : &usb.driver();
            if (backend) device.backend = backend->backendName();
            devices.push_back(std::move(device));
        }
    }
    usb.showDeviceErrors = reportsWereOn;
    return devices;
}

core::PrivateFolders privateFolders() {
    core::PrivateFolders folders;
    addSpellings(folders.home, QDir::homePath());
    return folders;
}

core::SupportReport supportReportBase(link::D2XXUnit& usb, const QString& program, const QString& version) {
    core::SupportReport report;
    report.program = text(program);
    report.editorVersion = text(version);
    report.operatingSystem = text(QSysInfo::prettyProductName() + QStringLiteral(", ") + QSysInfo::kernelType() +
                                  QLatin1Char(' ') +
                                  QString::fromStdString(core::kernelVersionOnly(text(QSysInfo::kernelVersion()))) +
                                  QStringLiteral(", ") +
                                  QSysInfo::currentCpuArchitecture());
    report.qtVersion = std::string(qVersion()) + " (built with " QT_VERSION_STR ")";
    report.writtenAt = text(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t")));
    report.writtenAtMs = usb.traceClock ? usb.traceClock() : 0;
    report.backends = driverBackends(usb.driver());
    report.devices = listDevices(usb);
    report.trace = usb.messageTrace.entries();
    report.messagesRecorded = usb.messageTrace.recorded();
    return report;
}

}  // namespace qeltx::session
