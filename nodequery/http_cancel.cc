#include "nodequery/http_cancel.h"

#include <array>
#include <mutex>

#include "config/settings.h"
#include "nodequery/http_client.h"

namespace quorix {

bool CancelFlags::Raised() const {
  return (own != nullptr && own->load()) || (caller != nullptr && caller->load());
}

int EndWhenCancelled(void* flags, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const CancelFlags*>(flags)->Raised() ? 1 : 0;
}

bool NodeConnection::Cancelled() const { return CancelFlags{cancel_, &ownCancel_}.Raised(); }

namespace {

struct SlotTable {
  std::mutex mutex;
  std::array<std::weak_ptr<NodeConnection>, kMaxNodes> slots;
};

SlotTable& Slots() {
  static SlotTable* table = new SlotTable;  // never destroyed: workers may outlive main
  return *table;
}

}  // namespace

void ResetNodeHandles() {
  SlotTable& table = Slots();
  std::lock_guard<std::mutex> lock(table.mutex);
  for (auto& slot : table.slots) slot.reset();
}

void RegisterNodeHandles(int node, const std::shared_ptr<NodeConnection>& connection) {
  if (node < 0 || node >= kMaxNodes) return;
  SlotTable& table = Slots();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.slots[node] = connection;
}

void CloseAllNodeHandles() {
  SlotTable& table = Slots();
  std::lock_guard<std::mutex> lock(table.mutex);
  for (auto& slot : table.slots) {
    if (auto connection = slot.lock()) connection->Cancel();
    slot.reset();
  }
}

}  // namespace quorix
