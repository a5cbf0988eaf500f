// A TWAIN source manager whose sources are the SANE devices of the machine.
// The program loads it while it scans and calls its one entry point,
// DSM_Entry; one program at a time, with one source open at a time.
//
// The source's notices reach the program as events of a type of our own
// posted to the program's proxy window, which the program offers back to us
// through MSG_PROCESSEVENT. Pictures are native transfers: a packed DIB per
// page, a feeder giving pages until it is empty.
#include <sane/sane.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <cstring>
#include <deque>
#include <memory>

#include "acquire/twain_protocol.h"
#include "twain_sane/sane_device.h"
#include "twain_sane/source_dialogs.h"
#include "twain_sane/source_settings.h"

using namespace pixtrel::twain;
using namespace pixtrel::twain_sane;

namespace {

void CopyName(TW_STR32& target, const std::string& text) {
  std::memset(target, 0, sizeof target);
  std::strncpy(target, text.c_str(), sizeof target - 1);
}

// A name as an identity holds it (cut to 33 characters).
std::string IdentityName(const std::string& name) { return name.substr(0, sizeof(TW_STR32) - 1); }

// The connection with the one program, from MSG_OPENDSM to MSG_CLOSEDSM. The
// entry point is a plain function, so this lives in the library.
struct Session {
  QPointer<QObject> parent;
  QEvent::Type noticeType = static_cast<QEvent::Type>(QEvent::registerEventType());
  TW_UINT16 condition = TWCC_SUCCESS;

  std::unique_ptr<SaneDevice> device;
  DeviceInfo info;
  TW_UINT32 sourceId = 0;
  bool enabled = false;
  std::unique_ptr<SourceDialog> dialog;
  std::deque<TW_UINT16> notices;

  ~Session() { CloseSource(); }

  void Post(TW_UINT16 notice) {
    if (!parent) return;
    notices.push_back(notice);
    QCoreApplication::postEvent(parent, new QEvent(noticeType));
  }

  void Disable() {
    dialog.reset();
    notices.clear();
    if (parent) QCoreApplication::removePostedEvents(parent, noticeType);
    if (device) device->Cancel();
    enabled = false;
  }

  void CloseSource() {
    Disable();
    device.reset();
    sourceId = 0;
  }
};

Session* session = nullptr;

TW_UINT16 Fail(TW_UINT16 condition) {
  if (session) session->condition = condition;
  return TWRC_FAILURE;
}

// The device an identity names: its product name, or the default source
// when that is empty (the chooser's last choice while it is there, else the
// first device).
const DeviceInfo* FindDevice(const std::vector<DeviceInfo>& devices, const std::string& productName) {
  const std::string wanted = productName.empty() ? IdentityName(DefaultDeviceName()) : productName;
  for (const DeviceInfo& device : devices)
    if (IdentityName(device.name) == wanted) return &device;
  if (productName.empty() && !devices.empty()) return &devices.front();
  return nullptr;
}

void FillIdentity(TW_IDENTITY& identity, const DeviceInfo& device, TW_UINT32 id) {
  identity = TW_IDENTITY{};
  identity.Id = id;
  identity.Version.MajorNum = 1;
  identity.Version.Language = TWLG_USA;
  identity.Version.Country = TWCY_USA;
  CopyName(identity.Version.Info, "SANE");
  identity.ProtocolMajor = TWON_PROTOCOLMAJOR;
  identity.ProtocolMinor = TWON_PROTOCOLMINOR;
  identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
  CopyName(identity.Manufacturer, device.vendor);
  CopyName(identity.ProductFamily, device.model);
  CopyName(identity.ProductName, device.name);
}

TW_UINT16 OpenManager(TW_IDENTITY* origin, TW_MEMREF data) {
  if (session) return Fail(TWCC_SEQERROR);
  if (!data || !QCoreApplication::instance()) return TWRC_FAILURE;
  SANE_Int version = 0;
  if (sane_init(&version, nullptr) != SANE_STATUS_GOOD) return TWRC_FAILURE;
  session = new Session;
  session->parent = *static_cast<QObject**>(data);
  if (origin) origin->Id = 1;
  return TWRC_SUCCESS;
}

TW_UINT16 CloseManager() {
  if (!session) return TWRC_FAILURE;
  delete session;
  session = nullptr;
  sane_exit();
  return TWRC_SUCCESS;
}

TW_UINT16 UserSelect(TW_MEMREF data) {
  if (!data) return Fail(TWCC_BADVALUE);
  const std::vector<DeviceInfo> devices = ListDevices();
  const DeviceInfo* preselected = FindDevice(devices, {});
  int chosen = preselected ? static_cast<int>(preselected - devices.data()) : -1;
  if (DialogsAvailable()) {
    chosen = ChooseDevice(devices, chosen);
    if (chosen < 0) return TWRC_CANCEL;
  } else if (chosen < 0) {
    return Fail(TWCC_NODS);
  }
  SetDefaultDeviceName(devices[chosen].name);
  FillIdentity(*static_cast<TW_IDENTITY*>(data), devices[chosen], 0);
  return TWRC_SUCCESS;
}

TW_UINT16 OpenSource(TW_MEMREF data) {
  if (!data) return Fail(TWCC_BADVALUE);
  if (session->device) return Fail(TWCC_SEQERROR);
  auto& identity = *static_cast<TW_IDENTITY*>(data);
  const std::vector<DeviceInfo> devices = ListDevices();
  const DeviceInfo* device = FindDevice(devices, std::string(identity.ProductName, strnlen(identity.ProductName, 34)));
  if (!device) return Fail(TWCC_NODS);
  auto opened = std::make_unique<SaneDevice>(device->name);
  if (!opened->IsOpen()) return Fail(TWCC_OPERATIONERROR);
  RestoreOptions(*opened);
  session->device = std::move(opened);
  session->info = *device;
  session->sourceId = 2;
  FillIdentity(identity, *device, session->sourceId);
  return TWRC_SUCCESS;
}

TW_UINT16 EnableSource(TW_MEMREF data) {
  if (!data) return Fail(TWCC_BADVALUE);
  if (session->enabled) return Fail(TWCC_SEQERROR);
  const auto& ui = *static_cast<TW_USERINTERFACE*>(data);
  session->enabled = true;
  if (ui.ShowUI && DialogsAvailable()) {
    session->dialog = std::make_unique<SourceDialog>(
        *session->device, session->info, [] { session->Post(MSG_XFERREADY); },
        [] { session->Post(MSG_CLOSEDSREQ); });
  } else {
    // Without a dialog the source scans at once with its current options.
    session->Post(MSG_XFERREADY);
  }
  return TWRC_SUCCESS;
}

TW_UINT16 ProcessEvent(TW_MEMREF data) {
  auto* offered = static_cast<TW_EVENT*>(data);
  if (!offered) return TWRC_NOTDSEVENT;
  offered->TWMessage = MSG_NULL;
  const auto* platformEvent = static_cast<const TW_PLATFORMEVENT*>(offered->pEvent);
  if (!platformEvent || !platformEvent->event || !session->parent) return TWRC_NOTDSEVENT;
  const auto* event = static_cast<const QEvent*>(platformEvent->event);
  if (platformEvent->receiver != session->parent.data() || event->type() != session->noticeType)
    return TWRC_NOTDSEVENT;
  if (!session->notices.empty()) {
    offered->TWMessage = session->notices.front();
    session->notices.pop_front();
  }
  return TWRC_DSEVENT;
}

TW_UINT16 Transfer(TW_MEMREF data) {
  if (!data) return Fail(TWCC_BADVALUE);
  auto* handle = static_cast<TW_HANDLE*>(data);
  *handle = nullptr;
  void* block = nullptr;
  switch (session->device->ScanPage(&block)) {
    case PageResult::Done:
      *handle = block;
      return TWRC_XFERDONE;
    case PageResult::Cancelled:
      return TWRC_CANCEL;
    case PageResult::NoDocuments:
    case PageResult::Failed:
      break;
  }
  if (session->dialog) session->dialog->SetStatus("Scanning failed: " + session->device->LastError());
  return Fail(TWCC_OPERATIONERROR);
}

TW_UINT16 EndTransfer(TW_UINT16 msg, TW_MEMREF data) {
  TW_PENDINGXFERS pending{};
  if (msg == MSG_ENDXFER && session->device->FeedsDocuments() &&
      session->device->StartNextPage() == PageResult::Done) {
    pending.Count = kUnknownPendingCount;
  } else {
    session->device->Cancel();
    // Back in the dialog, the user may scan again; without one nobody
    // could, so the source asks to be closed.
    if (session->dialog)
      session->dialog->SetBusy(false);
    else
      session->Post(MSG_CLOSEDSREQ);
  }
  if (data) *static_cast<TW_PENDINGXFERS*>(data) = pending;
  return TWRC_SUCCESS;
}

TW_UINT16 SourceCall(TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  if (!session->device || !dest || dest->Id != session->sourceId) return Fail(TWCC_BADDEST);
  if (dg == DG_CONTROL && dat == DAT_EVENT && msg == MSG_PROCESSEVENT) return ProcessEvent(data);
  if (dg == DG_CONTROL && dat == DAT_USERINTERFACE && msg == MSG_ENABLEDS) return EnableSource(data);
  if (dg == DG_CONTROL && dat == DAT_USERINTERFACE && msg == MSG_DISABLEDS) {
    if (!session->enabled) return Fail(TWCC_SEQERROR);
    session->Disable();
    return TWRC_SUCCESS;
  }
  if (!session->enabled) return Fail(TWCC_SEQERROR);
  if (dg == DG_IMAGE && dat == DAT_IMAGENATIVEXFER && msg == MSG_GET) return Transfer(data);
  if (dg == DG_CONTROL && dat == DAT_PENDINGXFERS && (msg == MSG_ENDXFER || msg == MSG_RESET))
    return EndTransfer(msg, data);
  return Fail(TWCC_BADPROTOCOL);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) TW_UINT16 DSM_Entry(TW_IDENTITY* origin, TW_IDENTITY* dest,
                                                                      TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                                                                      TW_MEMREF data) {
  if (dg == DG_CONTROL && dat == DAT_PARENT && msg == MSG_OPENDSM) return OpenManager(origin, data);
  if (!session) return TWRC_FAILURE;
  if (dg == DG_CONTROL && dat == DAT_STATUS && msg == MSG_GET && data) {
    *static_cast<TW_STATUS*>(data) = TW_STATUS{session->condition, 0};
    session->condition = TWCC_SUCCESS;
    return TWRC_SUCCESS;
  }
  session->condition = TWCC_SUCCESS;
  if (dest) return SourceCall(dest, dg, dat, msg, data);
  if (dg == DG_CONTROL && dat == DAT_PARENT && msg == MSG_CLOSEDSM) return CloseManager();
  if (dg == DG_CONTROL && dat == DAT_IDENTITY && msg == MSG_USERSELECT) return UserSelect(data);
  if (dg == DG_CONTROL && dat == DAT_IDENTITY && msg == MSG_OPENDS) return OpenSource(data);
  if (dg == DG_CONTROL && dat == DAT_IDENTITY && msg == MSG_CLOSEDS) {
    if (!session->device) return Fail(TWCC_SEQERROR);
    session->CloseSource();
    return TWRC_SUCCESS;
  }
  return Fail(TWCC_BADPROTOCOL);
}
