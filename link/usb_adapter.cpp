#include "link/usb_adapter.h"

namespace orvald {

UsbAdapterHandle OpenUsbAdapter(UsbAdapterBackend* backend) {
  if (backend == nullptr || !backend->Open()) return nullptr;
  return backend;
}

void CloseUsbAdapter(UsbAdapterHandle handle) {
  if (handle != nullptr) handle->Close();
}

}  // namespace orvald
