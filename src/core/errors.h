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
  // code: the failure's stable name, "<codec>.<Name>" ("bmp.InvalidBitmap"),
  // which tests and the readers' golden tables compare instead of the text.
  Exception(std::string code, std::string message) : message_(std::move(message)), code_(std::move(code)) {}

  const char* what() const noexcept override { return message_.c_str(); }
  // The fixed text, as the general handler shows it.
  const std::string& Message() const { return message_; }
  // The stable name; empty for errors that have none of their own.
  const std::string& Code() const { return code_; }

  // Where it happened (a path, an offset in a file), kept apart from the
  // fixed text; the handlers show it beside the message.
  const std::string& Context() const { return context_; }
  void SetContext(std::string context) { context_ = std::move(context); }

 private:
  std::string message_;
  std::string code_;
  std::string context_;
};

// The message and, when there is one, its context: "Text (in file.bmp)".
inline std::string MessageWithContext(const Exception& error) {
  if (error.Context().empty()) return error.Message();
  return error.Message() + " (" + error.Context() + ")";
}

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
  EInvalidGraphic(std::string code, std::string message) : Exception(std::move(code), std::move(message)) {}
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
