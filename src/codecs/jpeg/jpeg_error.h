// libjpeg error handling for every JPEG user (the JPEG image kind, the TIFF
// strip decoder): a fatal library error longjmps back to a setjmp in a frame of
// ours, which then throws EJPEG (LibraryError) with libjpeg's own message;
// warnings are kept as texts instead of going to stderr.
//
// The jump skips every frame between the setjmp and the failing library call,
// so those frames must hold nothing with a destructor. The pattern is a small
// function per stage that touches only the libjpeg structs and plain buffers
// allocated by its caller:
//
//   bool ReadHeader(JpegDecompressor& d) {
//     if (setjmp(d.errors.jump)) return false;
//     jpeg_read_header(&d.cinfo, TRUE);
//     return true;
//   }
//   ...
//   JpegDecompressor d;
//   if (!CreateJpegDecompressor(d) || !ReadHeader(d)) ThrowJpegError(d.errors);
#pragma once

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "codecs/jpeg/jpeg_image.h"

namespace pixtrel {

struct JpegErrorManager {
  static constexpr int kKeptWarnings = 8;

  jpeg_error_mgr pub;  // first, so libjpeg's err pointer is also ours
  std::jmp_buf jump;
  JpegError error;
  int code;  // libjpeg's message code, -1 for our own checks
  char message[JMSG_LENGTH_MAX];
  long warningCount;
  int keptWarnings;
  char warnings[kKeptWarnings][JMSG_LENGTH_MAX];
};

// Fills manager with libjpeg's standard message tables and our handlers and
// returns the pointer to store in cinfo.err before jpeg_create_*.
jpeg_error_mgr* InstallJpegErrorManager(JpegErrorManager& manager);

// Ends a libjpeg stage from a check of our own: records the failure and
// jumps like a library error.
[[noreturn]] void FailJpeg(j_common_ptr cinfo, JpegError error);

[[noreturn]] void ThrowJpegError(const JpegErrorManager& manager);
std::vector<std::string> JpegWarnings(const JpegErrorManager& manager);

// A decompressor that is destroyed with its holder. Neither copyable nor
// movable: cinfo.err points into the object.
struct JpegDecompressor {
  JpegDecompressor();
  ~JpegDecompressor();
  JpegDecompressor(const JpegDecompressor&) = delete;
  JpegDecompressor& operator=(const JpegDecompressor&) = delete;

  jpeg_decompress_struct cinfo;
  JpegErrorManager errors;
};

struct JpegCompressor {
  JpegCompressor();
  ~JpegCompressor();
  JpegCompressor(const JpegCompressor&) = delete;
  JpegCompressor& operator=(const JpegCompressor&) = delete;

  jpeg_compress_struct cinfo;
  JpegErrorManager errors;
};

// jpeg_create_* under the error manager; false when libjpeg failed.
bool CreateJpegDecompressor(JpegDecompressor& d);
bool CreateJpegCompressor(JpegCompressor& c);

}  // namespace pixtrel
