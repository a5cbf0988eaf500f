#include "io/batch_manifest.h"

#include <QCryptographicHash>

#include <filesystem>
#include <fstream>
#include <unordered_map>

#include "io/batch.h"

namespace pixtrel {

namespace {

std::string PathIdentity(const std::string& path) {
  std::error_code ec;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(path, ec);
  if (ec) canonical = std::filesystem::absolute(path, ec).lexically_normal();
  return canonical.string();
}

// The length of the UTF-8 sequence at s[i], or 0 when none starts there.
std::size_t Utf8Length(const std::string& s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  std::size_t n;
  unsigned min;
  unsigned code;
  if (c < 0x80) return 1;
  if ((c & 0xE0) == 0xC0) {
    n = 2, min = 0x80, code = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3, min = 0x800, code = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4, min = 0x10000, code = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

std::vector<std::string> BatchShard(const std::vector<std::string>& workList, const std::string& destination,
                                    const std::string& format, int shard, int count) {
  std::vector<std::string> slice;
  std::unordered_map<std::string, std::size_t> groupOfTarget;
  std::size_t groups = 0;
  for (const std::string& path : workList) {
    const std::string target = PathIdentity(BatchTargetName(destination, path, format));
    std::size_t group;
    if (const auto found = groupOfTarget.find(target); found != groupOfTarget.end()) {
      group = found->second;
    } else if (const auto source = groupOfTarget.find(PathIdentity(path)); source != groupOfTarget.end()) {
      group = source->second;
    } else {
      group = groups++;
    }
    groupOfTarget.emplace(target, group);
    if (static_cast<int>(group % static_cast<std::size_t>(count)) + 1 == shard) slice.push_back(path);
  }
  return slice;
}

bool FileDigest(const std::string& path, std::uint64_t& bytes, std::string& sha256) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  QCryptographicHash hash(QCryptographicHash::Sha256);
  std::vector<char> buffer(1 << 16);
  bytes = 0;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const std::streamsize n = in.gcount();
    if (n <= 0) break;
    hash.addData(QByteArrayView(buffer.data(), static_cast<qsizetype>(n)));
    bytes += static_cast<std::uint64_t>(n);
  }
  if (in.bad()) return false;
  const QByteArray digest = hash.result().toHex();
  sha256.assign(digest.constData(), static_cast<std::size_t>(digest.size()));
  return true;
}

std::string JsonString(const std::string& s) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const std::size_t n = Utf8Length(s, i);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F || n == 0) {
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out.append(s, i, n);
      i += n;
      continue;
    }
    ++i;
  }
  return out + "\"";
}

std::string BatchManifestLine(const std::string& source, const std::string& target, const std::string& status,
                              const std::string& message) {
  std::uint64_t bytes = 0;
  std::string sha256;
  const bool known = status != "failed" && FileDigest(target, bytes, sha256);
  std::string line = "{\"source\":" + JsonString(source) + ",\"target\":" + JsonString(target) +
                     ",\"status\":" + JsonString(status);
  line += known ? ",\"bytes\":" + std::to_string(bytes) + ",\"sha256\":\"" + sha256 + "\"" : ",\"bytes\":null,\"sha256\":null";
  return line + ",\"message\":" + JsonString(message) + "}";
}

}  // namespace pixtrel
