#include "serial/ui/port_list_follower.h"

#include <QComboBox>
#include <algorithm>
#include <filesystem>

#include "platform/port_map.h"
#include "serial/ui/port_probe.h"

namespace {

constexpr unsigned kHighestListedPort = 50;
constexpr int kLookInterval = 1000;  // ms

// The Linux device a port stands for: where its port-folder link leads, or
// the mapped path itself.
std::string DeviceBehind(unsigned n) {
  std::string path = ComPortDevicePath(n).value_or(std::string());
  std::error_code error;
  std::filesystem::path device = std::filesystem::canonical(path, error);
  return error ? path : device.string();
}

std::vector<std::pair<unsigned, std::string>> ListedPorts() {
  std::vector<std::pair<unsigned, std::string>> ports;
  for (unsigned n = 1; n <= kHighestListedPort; ++n) {
    if (PortExists(n)) ports.emplace_back(n, DeviceBehind(n));
  }
  return ports;
}

}  // namespace

PortListFollower::PortListFollower(QComboBox* list) : QObject(list), list_(list) {
  Follow();
  timer_.setInterval(kLookInterval);
  connect(&timer_, &QTimer::timeout, this, &PortListFollower::Follow);
  timer_.start();
}

void PortListFollower::Follow() {
  PortList ports = ListedPorts();
  if (ports == shown_) return;
  const QString chosen = list_->currentText();
  list_->clear();
  for (const auto& [n, device] : ports) {
    list_->addItem(QString("COM%1").arg(n));
    list_->setItemData(list_->count() - 1, QString::fromLocal8Bit(device.c_str()), Qt::ToolTipRole);
  }
  list_->setCurrentIndex(std::max(list_->findText(chosen), 0));
  shown_ = std::move(ports);
}
