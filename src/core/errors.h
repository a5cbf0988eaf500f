// The system's exceptions. Each class carries a fixed English text; context
// (a path, an offset, a library's own message) travels in fields, and the
// general handler shows Message().
#pragma once

#include <cstdint>
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

  // The file being read or written when it happened, set on the way out of
  // the open and save routines; pixtrel-cli prints it before the message.
  const std::string& File() const { return file_; }
  void SetFile(std::string file) { file_ = std::move(file); }

 private:
  std::string message_;
  std::string code_;
  std::string context_;
  std::string file_;
};

// The message and, when there is one that the text does not already name,
// its context: "Metafile is not valid (record Polygon at offset 48)".
inline std::string MessageWithContext(const Exception& error) {
  if (error.Context().empty() || error.Message().find(error.Context()) != std::string::npos) return error.Message();
  return error.Message() + " (" + error.Context() + ")";
}

// What the general handlers show for any error.
inline std::string ErrorText(const std::exception& error) {
  if (const auto* own = dynamic_cast<const Exception*>(&error)) return MessageWithContext(*own);
  return error.what();
}

// ErrorText after the file it concerns, "FILE: message", unless the message
// names the file already or no file is known.
inline std::string ErrorTextWithFile(const std::exception& error) {
  const auto* own = dynamic_cast<const Exception*>(&error);
  const std::string text = ErrorText(error);
  if (!own || own->File().empty() || text.find(own->File()) != std::string::npos) return text;
  return own->File() + ": " + text;
}

// The general errors below carry codes "core.<Name>". The file errors keep
// the path in their text, as the general handler has always shown it, and
// also as their context.

// A file could not be opened for reading.
class EFOpenError : public Exception {
 public:
  explicit EFOpenError(std::string path)
      : Exception("core.FOpenError", "Cannot open file \"" + path + "\""), path_(std::move(path)) {
    SetContext(path_);
    SetFile(path_);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// A file could not be created, written or put in place.
class EFCreateError : public Exception {
 public:
  explicit EFCreateError(std::string path)
      : Exception("core.FCreateError", "Cannot create file \"" + path + "\""), path_(std::move(path)) {
    SetContext(path_);
    SetFile(path_);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// A settings or text file could not be written; the message carries the
// platform's own reason ("Permission denied", "No space left on device").
class FileError : public Exception {
 public:
  FileError(std::string path, const std::string& reason)
      : Exception("core.FileError", "Cannot create file \"" + path + "\". " + reason), path_(std::move(path)) {
    SetContext(path_);
    SetFile(path_);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// A stream ended before the data a reader needed.
class EReadError : public Exception {
 public:
  EReadError() : Exception("core.ReadError", "Stream read error") {}
  // The same text under a codec's own code.
  explicit EReadError(std::string code) : Exception(std::move(code), "Stream read error") {}
};

class EWriteError : public Exception {
 public:
  EWriteError() : Exception("core.WriteError", "Stream write error") {}
};

// The bytes are not a picture of the kind the reader expected. A codec's
// subclass passes its own text, and its code where it has one.
class EInvalidGraphic : public Exception {
 public:
  EInvalidGraphic() : Exception("core.InvalidGraphic", "Bitmap image is not valid") {}
  explicit EInvalidGraphic(std::string message) : Exception(std::move(message)) {}
  EInvalidGraphic(std::string code, std::string message) : Exception(std::move(code), std::move(message)) {}
};

// A header asked for more pixels than the system will hold.
class EImageTooLarge : public Exception {
 public:
  EImageTooLarge() : Exception("core.ImageTooLarge", "Image is too large") {}
  // A codec's own limit, under its code.
  explicit EImageTooLarge(std::string code) : Exception(std::move(code), "Image is too large") {}
  // Over the pixel limit the user set (or its default).
  EImageTooLarge(std::int64_t width, std::int64_t height, std::int64_t limit)
      : Exception("core.OverPixelLimit", "Image is too large") {
    SetContext(std::to_string(width) + " x " + std::to_string(height) + " = " + std::to_string(width * height) +
               " pixels, over the limit of " + std::to_string(limit) + " pixels");
  }
  // The same for a picture whose decoder must also hold buffers of its own
  // as large as extraPixels pixels (a progressive JPEG's coefficients).
  EImageTooLarge(std::int64_t width, std::int64_t height, std::int64_t extraPixels, std::int64_t limit)
      : Exception("core.OverPixelLimit", "Image is too large") {
    SetContext(std::to_string(width) + " x " + std::to_string(height) + " = " + std::to_string(width * height) +
               " pixels and buffers of as many as " + std::to_string(extraPixels) +
               " more to decode them, over the limit of " + std::to_string(limit) + " pixels");
  }
};

// A writer whose format keeps the size in 16 bits was given a larger image:
// refused before anything is written, rather than saved with a cut size.
class EImageTooLargeForFormat : public Exception {
 public:
  EImageTooLargeForFormat(const std::string& format, int width, int height, int limit)
      : Exception("core.TooLargeForFormat", "Image is too large for this file format") {
    SetContext(format + " holds at most " + std::to_string(limit) + " x " + std::to_string(limit) +
               " pixels, the image has " + std::to_string(width) + " x " + std::to_string(height));
  }
};

// Raises EImageTooLargeForFormat unless width and height are at most limit.
inline void CheckFormatSize(const std::string& format, int width, int height, int limit) {
  if (width > limit || height > limit) throw EImageTooLargeForFormat(format, width, height, limit);
}

// An operation that a graphic kind does not offer (saving a read-only format).
class EInvalidGraphicOperation : public Exception {
 public:
  explicit EInvalidGraphicOperation(std::string message)
      : Exception("core.InvalidGraphicOperation", std::move(message)) {}
};

}  // namespace pixtrel
