#include "acquire/twain_acquire.h"

#include <dlfcn.h>
#include <malloc.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QVariant>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "core/canvas.h"
#include "core/stream.h"
#include "workspace/workspace.h"

namespace pixtrel {

using namespace twain;

namespace {

std::int32_t ReadInt32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                   static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}

int ReadUInt16(const std::uint8_t* p) { return p[0] | p[1] << 8; }

void CopyName(TW_STR32& target, const char* text) {
  std::memset(target, 0, sizeof target);
  std::strncpy(target, text, sizeof target - 1);
}

}  // namespace

// ---------------------------------------------------------------- pictures

DibPicture::DibPicture(void* block) : block_(block), size_(block ? malloc_usable_size(block) : 0) {}

DibPicture::~DibPicture() { Free(); }

DibPicture::DibPicture(DibPicture&& other) noexcept
    : block_(std::exchange(other.block_, nullptr)), size_(std::exchange(other.size_, 0)) {}

DibPicture& DibPicture::operator=(DibPicture&& other) noexcept {
  if (this != &other) {
    Free();
    block_ = std::exchange(other.block_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

void DibPicture::Free() {
  std::free(block_);
  block_ = nullptr;
  size_ = 0;
}

int DibPicture::Width() const {
  if (size_ < 12) return 0;
  if (ReadInt32(Data()) == 12) return ReadUInt16(Data() + 4);
  return size_ >= 40 ? ReadInt32(Data() + 4) : 0;
}

int DibPicture::Height() const {
  if (size_ < 12) return 0;
  if (ReadInt32(Data()) == 12) return ReadUInt16(Data() + 6);
  if (size_ < 40) return 0;
  // Top-down pictures give a negative height.
  const std::int64_t height = ReadInt32(Data() + 8);
  return static_cast<int>(std::min<std::int64_t>(height < 0 ? -height : height, INT32_MAX));
}

Bitmap DibPicture::ToBitmap() const {
  // The BMP reader takes the block behind a file header of its own; the
  // pixel offset 0 makes it start the pixels right after the colour table.
  std::vector<std::uint8_t> file(14 + size_, 0);
  file[0] = 'B';
  file[1] = 'M';
  const std::uint32_t fileSize = static_cast<std::uint32_t>(file.size());
  for (int i = 0; i < 4; ++i) file[2 + i] = static_cast<std::uint8_t>(fileSize >> (8 * i));
  if (size_) std::memcpy(file.data() + 14, block_, size_);
  MemoryStream stream(std::move(file));
  Bitmap picture;
  picture.LoadFromStream(stream);
  return picture;
}

// ---------------------------------------------------------------- client

TwainOptions DefaultTwainOptions(const std::string& programFolder) {
  TwainOptions options;
  std::string ours = programFolder;
  if (!ours.empty() && ours.back() != '/') ours += '/';
  options.sourceManagers = {ours + kSaneSourceManager, kSystemSourceManager};
  return options;
}

// Offers every event of the application to the source while the loop runs.
class TwainAcquire::EventOffer : public QObject {
 public:
  explicit EventOffer(TwainAcquire& owner) : owner_(owner) { QCoreApplication::instance()->installEventFilter(this); }
  ~EventOffer() override { QCoreApplication::instance()->removeEventFilter(this); }

  bool eventFilter(QObject* receiver, QEvent* event) override {
    if (event->type() == QEvent::Quit) owner_.quit_ = true;
    return owner_.OfferEvent(receiver, event);
  }

 private:
  TwainAcquire& owner_;
};

TwainAcquire::TwainAcquire(UserInteraction& ui, TwainOptions options) : ui_(ui), options_(std::move(options)) {
  app_.Id = 0;
  app_.Version.MajorNum = 11;
  app_.Version.MinorNum = 0;
  app_.Version.Language = TWLG_USA;
  app_.Version.Country = TWCY_USA;
  CopyName(app_.Version.Info, "Pixtrel 11");
  app_.ProtocolMajor = TWON_PROTOCOLMAJOR;
  app_.ProtocolMinor = TWON_PROTOCOLMINOR;
  app_.SupportedGroups = DG_CONTROL | DG_IMAGE;
  CopyName(app_.Manufacturer, "Pixtrel");
  CopyName(app_.ProductFamily, "Image converter");
  CopyName(app_.ProductName, "Pixtrel");
}

TwainAcquire::~TwainAcquire() {
  TearDown();
  pictures_.clear();
}

std::string TwainAcquire::ErrorMessage(Error error) {
  switch (error) {
    case Error::ProxyWindow:
      return "Unable to create proxy window";
    case Error::LoadManager:
      return "Unable to load Source Manager (TWAIN_32.DLL)";
    case Error::OpenManager:
      return "Unable to open Source Manager (TWAIN_32.DLL)";
    case Error::OpenSource:
      return "Unable to open default Data Source.";
    case Error::EnableSource:
      return "Failed to enable Data Source.";
    case Error::None:
    case Error::Other:
      break;
  }
  return "TWAIN_ReportLastError: an error occurred";
}

std::unique_ptr<QObject> TwainAcquire::CreateProxyWindow() {
  if (!QCoreApplication::instance()) return nullptr;
  auto proxy = std::make_unique<QObject>();
  proxy->setObjectName(QStringLiteral("Acquire Proxy"));
  proxy->setProperty("windowClass", QStringLiteral("STATIC"));
  proxy->setProperty("enabled", true);
  return proxy;
}

TW_UINT16 TwainAcquire::Call(TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  if (!entry_) return TWRC_FAILURE;
  return entry_(&app_, dest, dg, dat, msg, data);
}

bool TwainAcquire::LoadSourceManager() {
  for (const std::string& name : options_.sourceManagers) {
    void* library = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) continue;
    auto entry = reinterpret_cast<DSMENTRYPROC>(dlsym(library, "DSM_Entry"));
    if (!entry) {
      dlclose(library);
      continue;
    }
    library_ = library;
    entry_ = entry;
    state_ = kManagerLoaded;
    return true;
  }
  lastError_ = Error::LoadManager;
  return false;
}

bool TwainAcquire::OpenSourceManager() {
  void* parent = proxy_.get();
  if (Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent) != TWRC_SUCCESS) {
    lastError_ = Error::OpenManager;
    return false;
  }
  state_ = kManagerOpen;
  return true;
}

void TwainAcquire::CloseSourceManager() {
  void* parent = proxy_.get();
  Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent);
  state_ = kManagerLoaded;
}

void TwainAcquire::UnloadSourceManager() {
  if (library_) dlclose(library_);
  library_ = nullptr;
  entry_ = nullptr;
  state_ = kNothingLoaded;
}

bool TwainAcquire::OpenDefaultSource() {
  // An empty identity asks for the default source.
  source_ = TW_IDENTITY{};
  if (Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source_) != TWRC_SUCCESS) {
    lastError_ = Error::OpenSource;
    return false;
  }
  state_ = kSourceOpen;
  return true;
}

bool TwainAcquire::EnableSource() {
  TW_USERINTERFACE ui{};
  ui.ShowUI = 1;
  ui.ModalUI = 0;
  ui.hParent = proxy_.get();
  const TW_UINT16 rc = Call(&source_, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
  if (rc != TWRC_SUCCESS && rc != TWRC_CHECKSTATUS) {
    lastError_ = Error::EnableSource;
    return false;
  }
  state_ = kSourceEnabled;
  return true;
}

void TwainAcquire::ReportLastError() {
  if (lastError_ == Error::None) return;
  ui_.ShowMessageBox(kTwainErrorCaption, ErrorMessage(lastError_));
}

bool TwainAcquire::SelectImageSource() {
  lastError_ = Error::None;
  proxy_ = CreateProxyWindow();
  if (!proxy_) {
    ui_.ShowMessageBox(kTwainErrorCaption, "TWAIN_SelectImageSource: Unable to create proxy window");
    return false;
  }
  TW_UINT16 rc = TWRC_FAILURE;
  if (LoadSourceManager() && OpenSourceManager()) {
    TW_IDENTITY chosen{};
    rc = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &chosen);
  } else {
    ReportLastError();
  }
  if (state_ >= kManagerOpen) CloseSourceManager();
  if (state_ >= kManagerLoaded) UnloadSourceManager();
  proxy_.reset();
  return rc == TWRC_SUCCESS;
}

void TwainAcquire::Acquire() {
  pictures_.clear();
  lastError_ = Error::None;
  notices_.clear();
  quit_ = false;
  proxy_ = CreateProxyWindow();
  if (!proxy_) {
    lastError_ = Error::ProxyWindow;
    ReportLastError();
    return;
  }
  if (LoadSourceManager() && OpenSourceManager() && OpenDefaultSource() && EnableSource()) {
    proxy_->setProperty("enabled", false);
    RunMessageLoop();
  } else {
    ReportLastError();
  }
  TearDown();
}

bool TwainAcquire::OfferEvent(QObject* receiver, void* event) {
  if (state_ < kSourceEnabled) return false;
  TW_PLATFORMEVENT platformEvent{receiver, event};
  TW_EVENT offered{&platformEvent, MSG_NULL};
  if (Call(&source_, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &offered) != TWRC_DSEVENT) return false;
  if (offered.TWMessage != MSG_NULL) notices_.push_back(offered.TWMessage);
  return true;
}

void TwainAcquire::RunMessageLoop() {
  EventOffer offer(*this);
  while (state_ >= kSourceEnabled && pictures_.empty() && !quit_) {
    if (notices_.empty()) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    while (!notices_.empty() && state_ >= kSourceEnabled && pictures_.empty()) {
      const TW_UINT16 notice = notices_.front();
      notices_.pop_front();
      if (notice == MSG_XFERREADY) {
        state_ = kTransferReady;
        TransferPictures();
      } else if (notice == MSG_CLOSEDSREQ) {
        TW_USERINTERFACE ui{};
        ui.hParent = proxy_.get();
        Call(&source_, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
        state_ = kSourceOpen;
      }
    }
  }
}

void TwainAcquire::TransferPictures() {
  while (state_ == kTransferReady) {
    TW_HANDLE block = nullptr;
    const TW_UINT16 rc = Call(&source_, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &block);
    if (rc == TWRC_XFERDONE) {
      if (block) pictures_.emplace_back(block);
      state_ = kTransferring;
    } else if (rc == TWRC_CANCEL) {
      state_ = kTransferring;
    } else {
      state_ = kTransferReady;
    }
    TW_PENDINGXFERS pending{};
    if (Call(&source_, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) != TWRC_SUCCESS) {
      // A source that takes back neither the transfer nor the pages still
      // pending would hold the loop for ever.
      pending = TW_PENDINGXFERS{};
      Call(&source_, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
      pending.Count = 0;
    }
    state_ = pending.Count > 0 ? kTransferReady : kSourceEnabled;
  }
}

void TwainAcquire::TearDown() {
  if (proxy_) proxy_->setProperty("enabled", true);
  if (state_ >= kTransferring) {
    TW_PENDINGXFERS pending{};
    Call(&source_, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
    state_ = pending.Count > 0 ? kTransferReady : kSourceEnabled;
  }
  if (state_ >= kTransferReady) {
    TW_PENDINGXFERS pending{};
    Call(&source_, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
    state_ = kSourceEnabled;
  }
  if (state_ >= kSourceEnabled) {
    TW_USERINTERFACE ui{};
    ui.hParent = proxy_.get();
    Call(&source_, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    state_ = kSourceOpen;
  }
  if (state_ >= kSourceOpen) {
    Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source_);
    state_ = kManagerOpen;
  }
  if (state_ >= kManagerOpen) CloseSourceManager();
  if (state_ >= kManagerLoaded) UnloadSourceManager();
  proxy_.reset();
}

bool TwainScan(Workspace& workspace, UserInteraction& ui, const TwainOptions& options) {
  TwainAcquire twain(ui, options);
  twain.SelectImageSource();
  twain.Acquire();
  std::vector<DibPicture>& pictures = twain.Pictures();
  if (pictures.empty()) return false;
  // Only the first picture is used; the others go at once.
  pictures.erase(pictures.begin() + 1, pictures.end());
  const Bitmap picture = pictures.front().ToBitmap();
  pictures.front().Free();
  Bitmap& image = workspace.Image();
  image.SetSize(picture.Width(), picture.Height());
  image.Canvas().Draw(0, 0, picture);
  workspace.ImageDrawn();
  return true;
}

}  // namespace pixtrel
