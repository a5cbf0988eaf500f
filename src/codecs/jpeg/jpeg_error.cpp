#include "codecs/jpeg/jpeg_error.h"

#include <cstring>

#include "core/error_table.h"

namespace pixtrel {

namespace {

JpegErrorManager& ManagerOf(j_common_ptr cinfo) { return *reinterpret_cast<JpegErrorManager*>(cinfo->err); }

void ExitWithError(j_common_ptr cinfo) {
  JpegErrorManager& manager = ManagerOf(cinfo);
  manager.error = JpegError::LibraryError;
  manager.code = cinfo->err->msg_code;
  (*cinfo->err->format_message)(cinfo, manager.message);
  std::longjmp(manager.jump, 1);
}

// libjpeg's own emitter prints the first warning and counts the rest; here
// every warning is counted and the first few texts are kept for the caller.
// Trace messages (level 0 and up) are dropped.
void KeepWarning(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  JpegErrorManager& manager = ManagerOf(cinfo);
  ++cinfo->err->num_warnings;
  ++manager.warningCount;
  if (manager.keptWarnings < JpegErrorManager::kKeptWarnings) {
    (*cinfo->err->format_message)(cinfo, manager.warnings[manager.keptWarnings]);
    ++manager.keptWarnings;
  }
}

void DiscardMessage(j_common_ptr) {}

}  // namespace

PIXTREL_DEFINE_ERRORS(JpegError, "jpeg", PIXTREL_JPEG_ERRORS)

jpeg_error_mgr* InstallJpegErrorManager(JpegErrorManager& manager) {
  jpeg_std_error(&manager.pub);
  manager.pub.error_exit = ExitWithError;
  manager.pub.emit_message = KeepWarning;
  manager.pub.output_message = DiscardMessage;
  manager.error = JpegError::LibraryError;
  manager.code = 0;
  manager.message[0] = '\0';
  manager.warningCount = 0;
  manager.keptWarnings = 0;
  return &manager.pub;
}

void FailJpeg(j_common_ptr cinfo, JpegError error) {
  JpegErrorManager& manager = ManagerOf(cinfo);
  manager.error = error;
  manager.code = -1;
  std::strncpy(manager.message, ErrorText(error), JMSG_LENGTH_MAX - 1);
  manager.message[JMSG_LENGTH_MAX - 1] = '\0';
  std::longjmp(manager.jump, 1);
}

void ThrowJpegError(const JpegErrorManager& manager) { throw EJPEG(manager.error, manager.message, manager.code); }

std::vector<std::string> JpegWarnings(const JpegErrorManager& manager) {
  std::vector<std::string> texts;
  texts.reserve(static_cast<std::size_t>(manager.keptWarnings));
  for (int i = 0; i < manager.keptWarnings; ++i) texts.emplace_back(manager.warnings[i]);
  return texts;
}

JpegDecompressor::JpegDecompressor() {
  std::memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = InstallJpegErrorManager(errors);
}

JpegDecompressor::~JpegDecompressor() {
  jpeg_destroy_decompress(&cinfo);  // a no-op when creation never happened
}

JpegCompressor::JpegCompressor() {
  std::memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = InstallJpegErrorManager(errors);
}

JpegCompressor::~JpegCompressor() { jpeg_destroy_compress(&cinfo); }

bool CreateJpegDecompressor(JpegDecompressor& d) {
  if (setjmp(d.errors.jump)) return false;
  jpeg_create_decompress(&d.cinfo);
  return true;
}

bool CreateJpegCompressor(JpegCompressor& c) {
  if (setjmp(c.errors.jump)) return false;
  jpeg_create_compress(&c.cinfo);
  return true;
}

}  // namespace pixtrel
