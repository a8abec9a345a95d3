#include "platform/handle_table.h"

#include <mutex>
#include <unordered_map>

#include "platform/errors.h"
#include "platform/immortal.h"

namespace {

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<PlatformObject*, std::shared_ptr<PlatformObject>> objects;
};

HandleTable& Table() {
  static Immortal<HandleTable> table;
  return table.Get();
}

}  // namespace

void SetLastErrorInvalidHandle() {
  SetLastError(ERROR_INVALID_HANDLE);
}

HANDLE RegisterHandle(std::shared_ptr<PlatformObject> object) {
  HANDLE handle = object.get();
  std::lock_guard lock(Table().mutex);
  Table().objects.emplace(handle, std::move(object));
  return handle;
}

std::shared_ptr<PlatformObject> LookupHandle(HANDLE handle) {
  {
    std::lock_guard lock(Table().mutex);
    auto found = Table().objects.find(handle);
    if (found != Table().objects.end()) return found->second;
  }
  SetLastErrorInvalidHandle();
  return nullptr;
}

BOOL CloseHandle(HANDLE handle) {
  std::shared_ptr<PlatformObject> object;
  {
    std::lock_guard lock(Table().mutex);
    auto found = Table().objects.find(handle);
    if (found == Table().objects.end()) {
      SetLastErrorInvalidHandle();
      return FALSE;
    }
    object = std::move(found->second);
    Table().objects.erase(found);
  }
  object->Close();
  return TRUE;
}
