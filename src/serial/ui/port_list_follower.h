// The port dialog's list kept up to date while the dialog is open: a device
// plugged in or pulled out shows or leaves within about a second. The list
// is found as at the start, without opening any tty.
#pragma once

#include <QObject>
#include <QTimer>
#include <string>
#include <utility>
#include <vector>

class QComboBox;

// Lives as long as the list it follows (its parent).
class PortListFollower : public QObject {
  Q_OBJECT

 public:
  // Fills the list at once, then looks again every second.
  explicit PortListFollower(QComboBox* list);

  // Fills the list again when the ports changed; the chosen port stays
  // chosen while it is listed, else the first port is.
  void Follow();

 private:
  // The listed COM numbers, each with the Linux device it stands for.
  using PortList = std::vector<std::pair<unsigned, std::string>>;

  QComboBox* list_;
  QTimer timer_;
  PortList shown_;
};
