// The system's exceptions. Each class carries a fixed English text; context
// (a path, an offset, a library's own message) travels in fields, and the
// general handler shows Message().
#pragma once

#include <exception>
#include <string>

namespace pixtrel {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// A file could not be opened for reading.
class EFOpenError : public Exception {
 public:
  explicit EFOpenError(std::string path) : Exception("Cannot open file \"" + path + "\""), path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// A file could not be created, written or put in place.
class EFCreateError : public Exception {
 public:
  explicit EFCreateError(std::string path) : Exception("Cannot create file \"" + path + "\""), path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// A settings or text file could not be written; the message carries the
// platform's own reason ("Permission denied", "No space left on device").
class FileError : public Exception {
 public:
  FileError(std::string path, const std::string& reason)
      : Exception("Cannot create file \"" + path + "\". " + reason), path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// A stream ended before the data a reader needed.
class EReadError : public Exception {
 public:
  EReadError() : Exception("Stream read error") {}
};

class EWriteError : public Exception {
 public:
  EWriteError() : Exception("Stream write error") {}
};

// The bytes are not a picture of the kind the reader expected.
class EInvalidGraphic : public Exception {
 public:
  EInvalidGraphic() : Exception("Bitmap image is not valid") {}
  explicit EInvalidGraphic(std::string message) : Exception(std::move(message)) {}
};

// A header asked for more pixels than the system will hold.
class EImageTooLarge : public Exception {
 public:
  EImageTooLarge() : Exception("Image is too large") {}
};

// An operation that a graphic kind does not offer (saving a read-only format).
class EInvalidGraphicOperation : public Exception {
 public:
  explicit EInvalidGraphicOperation(std::string message) : Exception(std::move(message)) {}
};

}  // namespace pixtrel
