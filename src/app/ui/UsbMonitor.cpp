#include "UsbMonitor.h"

#include <QSocketNotifier>
#include <cstring>
#include <libudev.h>

UsbMonitor::UsbMonitor(QObject *parent) : QObject(parent) {
    m_udev = udev_new();
    if (!m_udev)
        return;
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!m_monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "usb", nullptr) < 0 ||
        udev_monitor_enable_receiving(m_monitor) < 0)
        return;
    m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UsbMonitor::readEvents);
}

UsbMonitor::~UsbMonitor() {
    delete m_notifier;
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

// Every add or remove signals once; the other actions (bind, change...) pass unnoticed.
void UsbMonitor::readEvents() {
    while (udev_device *device = udev_monitor_receive_device(m_monitor)) {
        const char *action = udev_device_get_action(device);
        const bool addOrRemove =
            action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0);
        udev_device_unref(device);
        if (addOrRemove)
            emit deviceChanged();
    }
}
