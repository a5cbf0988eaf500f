// Scanning through a TWAIN source manager: the source chooser, the
// acquisition chain through the TWAIN states 1 to 7 with its message loop and
// native transfers, and "&Twain Scan...", which puts the first picture into
// the workspace without an undo snapshot.
//
// The source manager is a library loaded while it is needed, found by the
// names the caller gives, and reached through its one entry point
// "DSM_Entry". Messages go through UserInteraction under the caption
// "TWAIN Error".
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "acquire/twain_protocol.h"
#include "core/bitmap.h"
#include "core/interaction.h"

class QObject;

namespace pixtrel {

class Workspace;

inline constexpr const char* kTwainErrorCaption = "TWAIN Error";
// The library the messages name, whatever was loaded.
inline constexpr const char* kTwainManagerName = "TWAIN_32.DLL";
// Our SANE-backed source manager, installed beside the program.
inline constexpr const char* kSaneSourceManager = "libpixtrel-twain-sane.so";
// The TWAIN working group's source manager, found by the loader's search.
inline constexpr const char* kSystemSourceManager = "libtwaindsm.so";

struct TwainOptions {
  // Source manager libraries tried in order, each a path or a bare name for
  // the loader's search; the first that loads and has "DSM_Entry" is used.
  std::vector<std::string> sourceManagers;
};

// Ours in programFolder (empty: the loader's search), then the system's.
TwainOptions DefaultTwainOptions(const std::string& programFolder);

// One picture as a source handed it over: a packed device-independent bitmap
// in a block allocated with malloc, released when the picture goes.
class DibPicture {
 public:
  explicit DibPicture(void* block);
  ~DibPicture();
  DibPicture(DibPicture&& other) noexcept;
  DibPicture& operator=(DibPicture&& other) noexcept;
  DibPicture(const DibPicture&) = delete;
  DibPicture& operator=(const DibPicture&) = delete;

  const std::uint8_t* Data() const { return static_cast<const std::uint8_t*>(block_); }
  // The bytes the block can hold, the bound every read keeps to.
  std::size_t Size() const { return size_; }
  // Width and height from the BITMAPINFOHEADER (0 when the block is too small).
  int Width() const;
  int Height() const;
  // The picture as a Bitmap; a damaged block throws the BMP reader's errors.
  Bitmap ToBitmap() const;
  // Releases the block now.
  void Free();

 private:
  void* block_ = nullptr;
  std::size_t size_ = 0;
};

class TwainAcquire {
 public:
  enum State { kNothingLoaded = 1, kManagerLoaded, kManagerOpen, kSourceOpen, kSourceEnabled, kTransferReady,
               kTransferring };
  enum class Error { None, ProxyWindow, LoadManager, OpenManager, OpenSource, EnableSource, Other };

  TwainAcquire(UserInteraction& ui, TwainOptions options);
  virtual ~TwainAcquire();
  TwainAcquire(const TwainAcquire&) = delete;
  TwainAcquire& operator=(const TwainAcquire&) = delete;

  // The source chooser: load and open the source manager, MSG_USERSELECT,
  // close and unload. Failures are shown at once. True when a source was
  // chosen.
  bool SelectImageSource();
  // One acquisition with the source's dialog shown; the pictures that
  // arrived are Pictures(). Failures of the chain are shown.
  void Acquire();

  std::vector<DibPicture>& Pictures() { return pictures_; }
  int State() const { return state_; }
  Error LastError() const { return lastError_; }
  // The text shown for an error.
  static std::string ErrorMessage(Error error);

 protected:
  // The hidden window that owns the source's dialog and receives its
  // notices; nullptr when it cannot be made (without an application object
  // nothing would deliver them).
  virtual std::unique_ptr<QObject> CreateProxyWindow();

 private:
  class EventOffer;

  bool LoadSourceManager();
  bool OpenSourceManager();
  void CloseSourceManager();
  void UnloadSourceManager();
  bool OpenDefaultSource();
  bool EnableSource();
  void RunMessageLoop();
  void TransferPictures();
  void TearDown();
  void ReportLastError();
  twain::TW_UINT16 Call(twain::TW_IDENTITY* dest, twain::TW_UINT32 dg, twain::TW_UINT16 dat, twain::TW_UINT16 msg,
                        twain::TW_MEMREF data);
  // Offered every event of the loop while the source is enabled; true when
  // the source claimed it.
  bool OfferEvent(QObject* receiver, void* event);

  UserInteraction& ui_;
  TwainOptions options_;
  int state_ = kNothingLoaded;
  Error lastError_ = Error::None;
  void* library_ = nullptr;
  twain::DSMENTRYPROC entry_ = nullptr;
  twain::TW_IDENTITY app_{};
  twain::TW_IDENTITY source_{};
  std::unique_ptr<QObject> proxy_;
  std::deque<twain::TW_UINT16> notices_;
  bool quit_ = false;
  std::vector<DibPicture> pictures_;
};

// "&Twain Scan...": chooser, acquisition, and the first picture drawn
// unscaled into the workspace image at that picture's size (no snapshot);
// the other pictures are released. True when the workspace changed.
bool TwainScan(Workspace& workspace, UserInteraction& ui, const TwainOptions& options);

}  // namespace pixtrel
