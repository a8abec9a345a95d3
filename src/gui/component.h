// The component model the serial port and the main window stand on: an owner
// that destroys what it owns, a name and tag, and a loading state during which
// property writers only store and errors are not raised; Loaded() runs when
// loading has ended.
#pragma once

#include <functional>
#include <string>
#include <vector>

class TComponent;

// A method-pointer event with only its sender, as the framework's components raise.
using TNotifyEvent = std::function<void(TComponent* sender)>;

class TComponent {
 public:
  explicit TComponent(TComponent* owner);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const std::vector<TComponent*>& Components() const { return components_; }

  std::string Name;
  long Tag = 0;

  bool Loading() const { return loading_; }
  // Never true in this program (there is no form designer); kept so the
  // writers can say what they do at design time.
  bool Designing() const { return false; }

  // Marks this component and everything it owns as being loaded; EndLoading
  // clears the mark and then calls Loaded() on each, owned components first.
  void BeginLoading();
  void EndLoading();

  // Copies settings from another component; the base accepts nothing.
  virtual void Assign(const TComponent* source);

 protected:
  virtual void Loaded() {}

 private:
  void Remove(TComponent* child);

  TComponent* owner_;
  std::vector<TComponent*> components_;
  bool loading_ = false;
};
