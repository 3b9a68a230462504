#pragma once
// UsbMonitor: tells when a USB device is added or removed, from the udev monitor of
// the "usb" subsystem watched by a socket notifier. Where no udev runs (containers, CI)
// it simply never signals.

#include <QObject>

class QSocketNotifier;
struct udev;
struct udev_monitor;

class UsbMonitor : public QObject {
    Q_OBJECT
public:
    explicit UsbMonitor(QObject *parent = nullptr);
    ~UsbMonitor() override;

    bool isWatching() const { return m_notifier != nullptr; }

signals:
    void deviceChanged();

private:
    void readEvents();

    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr;
};
