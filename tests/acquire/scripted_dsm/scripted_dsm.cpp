// A source manager with one scripted source. Its pages are 24-bit bitmaps in
// which the pixel (x, y), counted from the top, is red x, green y and blue
// 60 times the page's number (all modulo 256).
#include "scripted_dsm/scripted_dsm.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "acquire/twain_protocol.h"

using namespace pixtrel::twain;

namespace {

ScriptedDsmScript script{};
std::string callLog;
QPointer<QObject> parent;
std::deque<TW_UINT16> notices;
int pagesLeft = 0;
int pageNumber = 0;
bool managerOpen = false;
bool sourceOpen = false;
bool enabled = false;

QEvent::Type NoticeType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

void Log(const std::string& entry) {
  if (!callLog.empty()) callLog += ' ';
  callLog += entry;
}

void Post(TW_UINT16 notice) {
  notices.push_back(notice);
  QCoreApplication::postEvent(parent, new QEvent(NoticeType()));
}

void* MakePage(int number) {
  const int index = number < 4 ? number : 3;
  const int width = script.widths[index];
  const int height = script.heights[index];
  const std::size_t rowBytes = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  auto* block = static_cast<unsigned char*>(std::calloc(1, 40 + rowBytes * height));
  const std::int32_t header[] = {40, width, height};
  std::memcpy(block, header, sizeof header);
  block[12] = 1;
  block[14] = 24;
  for (int y = 0; y < height; ++y) {
    unsigned char* row = block + 40 + static_cast<std::size_t>(height - 1 - y) * rowBytes;
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<unsigned char>(60 * number);
      row[3 * x + 1] = static_cast<unsigned char>(y);
      row[3 * x + 2] = static_cast<unsigned char>(x);
    }
  }
  return block;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void ScriptedDsm_Reset(const ScriptedDsmScript* next) {
  script = *next;
  callLog.clear();
}

extern "C" __attribute__((visibility("default"))) const char* ScriptedDsm_Log() { return callLog.c_str(); }

extern "C" __attribute__((visibility("default"))) TW_UINT16 DSM_Entry(TW_IDENTITY* origin, TW_IDENTITY* dest,
                                                                      TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                                                                      TW_MEMREF data) {
  if (!origin) return TWRC_FAILURE;
  if (dg == DG_CONTROL && dat == DAT_PARENT && msg == MSG_OPENDSM) {
    auto* window = *static_cast<QObject**>(data);
    Log("OPENDSM(" + (window ? window->objectName().toStdString() : std::string("none")) + ")");
    if (script.failStep == 1 || managerOpen) return TWRC_FAILURE;
    parent = window;
    managerOpen = true;
    return TWRC_SUCCESS;
  }
  if (!managerOpen) {
    Log("NOTOPEN");
    return TWRC_FAILURE;
  }
  if (dg == DG_CONTROL && dat == DAT_PARENT && msg == MSG_CLOSEDSM) {
    Log(sourceOpen ? "CLOSEDSM!" : "CLOSEDSM");
    managerOpen = false;
    return TWRC_SUCCESS;
  }
  if (dg == DG_CONTROL && dat == DAT_IDENTITY && msg == MSG_USERSELECT) {
    Log("USERSELECT");
    if (script.cancelChooser) return TWRC_CANCEL;
    auto* identity = static_cast<TW_IDENTITY*>(data);
    std::strcpy(identity->ProductName, "Scripted");
    return TWRC_SUCCESS;
  }
  if (dg == DG_CONTROL && dat == DAT_IDENTITY && msg == MSG_OPENDS) {
    auto* identity = static_cast<TW_IDENTITY*>(data);
    Log(identity->ProductName[0] ? "OPENDS(named)" : "OPENDS");
    if (script.failStep == 2) return TWRC_FAILURE;
    identity->Id = 7;
    std::strcpy(identity->ProductName, "Scripted");
    sourceOpen = true;
    return TWRC_SUCCESS;
  }
  if (dg == DG_CONTROL && dat == DAT_IDENTITY && msg == MSG_CLOSEDS) {
    Log(enabled ? "CLOSEDS!" : "CLOSEDS");
    sourceOpen = false;
    return TWRC_SUCCESS;
  }
  if (!dest || dest->Id != 7 || !sourceOpen) {
    Log("BADDEST");
    return TWRC_FAILURE;
  }
  if (dg == DG_CONTROL && dat == DAT_USERINTERFACE && msg == MSG_ENABLEDS) {
    const auto* ui = static_cast<TW_USERINTERFACE*>(data);
    Log(std::string("ENABLEDS(") + (ui->ShowUI ? "ui" : "no ui") + ")");
    if (script.failStep == 3) return TWRC_FAILURE;
    enabled = true;
    pagesLeft = script.pages;
    pageNumber = 0;
    if (!script.silent) {
      const TW_UINT16 notice = script.cancel ? MSG_CLOSEDSREQ : MSG_XFERREADY;
      QTimer::singleShot(script.delay, parent, [notice] { Post(notice); });
    }
    return TWRC_SUCCESS;
  }
  if (dg == DG_CONTROL && dat == DAT_USERINTERFACE && msg == MSG_DISABLEDS) {
    Log("DISABLEDS");
    enabled = false;
    notices.clear();
    if (parent) QCoreApplication::removePostedEvents(parent, NoticeType());
    return TWRC_SUCCESS;
  }
  if (dg == DG_CONTROL && dat == DAT_EVENT && msg == MSG_PROCESSEVENT) {
    auto* offered = static_cast<TW_EVENT*>(data);
    offered->TWMessage = MSG_NULL;
    const auto* platformEvent = static_cast<const TW_PLATFORMEVENT*>(offered->pEvent);
    const auto* event = static_cast<const QEvent*>(platformEvent->event);
    if (platformEvent->receiver != parent.data() || event->type() != NoticeType()) return TWRC_NOTDSEVENT;
    if (!notices.empty()) {
      offered->TWMessage = notices.front();
      notices.pop_front();
    }
    Log(offered->TWMessage == MSG_XFERREADY ? "XFERREADY" : offered->TWMessage == MSG_CLOSEDSREQ ? "CLOSEDSREQ" : "NULL");
    return TWRC_DSEVENT;
  }
  if (dg == DG_IMAGE && dat == DAT_IMAGENATIVEXFER && msg == MSG_GET) {
    Log("GET");
    auto* handle = static_cast<TW_HANDLE*>(data);
    if (pagesLeft <= 0) return TWRC_FAILURE;
    if (pageNumber == 0 && script.cancelFirstTransfer) {
      ++pageNumber;
      return TWRC_CANCEL;
    }
    *handle = MakePage(pageNumber++);
    return TWRC_XFERDONE;
  }
  if (dg == DG_CONTROL && dat == DAT_PENDINGXFERS && (msg == MSG_ENDXFER || msg == MSG_RESET)) {
    if (msg == MSG_ENDXFER && pagesLeft > 0) --pagesLeft;
    if (msg == MSG_RESET) pagesLeft = 0;
    auto* pending = static_cast<TW_PENDINGXFERS*>(data);
    pending->Count = static_cast<TW_UINT16>(pagesLeft);
    Log((msg == MSG_ENDXFER ? "ENDXFER:" : "RESET:") + std::to_string(pagesLeft));
    return TWRC_SUCCESS;
  }
  Log("UNKNOWN");
  return TWRC_FAILURE;
}
