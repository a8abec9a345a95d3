// Serves the user-interface thread's platform message queue inside Qt's event
// loop, nested loops of modal dialogs included: messages sent from other
// threads run, posted messages go to their windows, and a quit posted with
// PostQuitMessage ends Qt's event loops with its exit code.
#pragma once

#include <QSocketNotifier>
#include <memory>

class QueueBridge {
 public:
  // Serves the queue of the calling thread (the one running Qt's event loop).
  QueueBridge();
  ~QueueBridge();
  QueueBridge(const QueueBridge&) = delete;
  QueueBridge& operator=(const QueueBridge&) = delete;

  // Runs and dispatches everything waiting now.
  void Serve();

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
};
