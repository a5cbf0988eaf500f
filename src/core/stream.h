// Byte streams for the readers and writers: memory, file, and the atomic file
// output every save goes through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "core/large_buffer.h"

namespace pixtrel {

class Stream {
 public:
  virtual ~Stream() = default;
  // Reads up to n bytes and returns how many were read (0 at the end).
  virtual std::size_t Read(void* buffer, std::size_t n) = 0;
  // Writes all n bytes or throws EWriteError.
  virtual void Write(const void* buffer, std::size_t n) = 0;
  virtual std::int64_t Position() const = 0;
  virtual void Seek(std::int64_t position) = 0;
  virtual std::int64_t Size() const = 0;

  // Reads exactly n bytes or throws EReadError.
  void ReadBuffer(void* buffer, std::size_t n);
  void WriteBuffer(std::span<const std::uint8_t> bytes) { Write(bytes.data(), bytes.size()); }
  // Everything from the current position to the end.
  std::vector<std::uint8_t> ReadRest();
  // The same, in storage meant for large blocks (whole image files).
  ByteBuffer ReadRestBuffer();
};

class MemoryStream : public Stream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  std::size_t Read(void* buffer, std::size_t n) override;
  void Write(const void* buffer, std::size_t n) override;
  std::int64_t Position() const override { return static_cast<std::int64_t>(position_); }
  void Seek(std::int64_t position) override;
  std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()); }

  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  std::vector<std::uint8_t> TakeBytes() {
    position_ = 0;
    return std::move(bytes_);
  }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

// A file opened read-only. Throws EFOpenError when it cannot be opened.
class FileStream : public Stream {
 public:
  explicit FileStream(const std::string& path);
  ~FileStream() override;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  std::size_t Read(void* buffer, std::size_t n) override;
  void Write(const void* buffer, std::size_t n) override;
  std::int64_t Position() const override;
  void Seek(std::int64_t position) override;
  std::int64_t Size() const override { return size_; }

 private:
  std::FILE* file_ = nullptr;
  std::int64_t size_ = 0;
};

// Output to a temporary file in the target's folder, renamed over the target
// by Commit() once everything is written. Destroyed without Commit() (a writer
// threw, the user abandoned the save), it removes the temporary file and the
// target stays as it was. A target reached through symbolic links is the
// file they end at (SaveTarget); one that is not a regular file is refused.
class AtomicFileStream : public Stream {
 public:
  explicit AtomicFileStream(std::string path);
  ~AtomicFileStream() override;
  AtomicFileStream(const AtomicFileStream&) = delete;
  AtomicFileStream& operator=(const AtomicFileStream&) = delete;

  std::size_t Read(void* buffer, std::size_t n) override;
  void Write(const void* buffer, std::size_t n) override;
  std::int64_t Position() const override;
  void Seek(std::int64_t position) override;
  std::int64_t Size() const override;

  void Commit();
  const std::string& TargetPath() const { return path_; }

 private:
  void Discard();
  bool NameTemporary();

  std::string path_;
  std::string finalPath_;  // path_, or the file its symbolic links end at
  std::string namePattern_;  // the temporary file's name, "XXXXXX" to fill
  std::string tempPath_;     // empty while the temporary file has no name
  std::FILE* file_ = nullptr;
  bool committed_ = false;
};

// The file a save to path replaces: path itself, or the file its symbolic
// links end at (the links stay). Raises EFCreateError when that exists and
// is not a regular file (a folder, a FIFO, a device).
std::string SaveTarget(const std::string& path);

// Reads a whole file into memory; throws EFOpenError.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
// Writes bytes to path atomically; throws EFCreateError.
void WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace pixtrel
