// The password-encrypted containers .xgif, .xjpg and .xpng: the inner GIF,
// JPEG or PNG file, enciphered whole with CipherManager. There is no header,
// no length field and no check value, so a wrong password shows only when the
// inner decoder fails; every such failure is reported as "invalid password".
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/bitmap.h"
#include "core/interaction.h"
#include "gif/color_reduction.h"

namespace pixtrel {

enum class ContainerKind { GIF, JPEG, PNG };

// The settings the plain writers would use for the inner file.
struct InnerImageOptions {
  int jpegQuality = 50;          // the JPEG quality setting
  gif::GifSettings gifDefaults;  // the GIF reduction
  bool gifTransparent = true;    // the "Transparent GIF" option
};

extern const char* const kInvalidPasswordText;  // "invalid password"
extern const char* const kPasswordCaption;      // "Enter password"
extern const char* const kPasswordPrompt;       // "Password"

// The inner file, built exactly as the plain writer of its format builds it:
// GIF with the GIF preparation and the "Transparent GIF" option, JPEG at the
// JPEG quality setting, PNG without the text chunk.
std::vector<std::uint8_t> BuildInnerImage(const Bitmap& source, ContainerKind kind, const InnerImageOptions& options);
// Decodes an inner file; throws whatever the decoder throws. pixelLimit is
// that of Graphic::SetPixelLimit.
Bitmap DecodeInnerImage(std::span<const std::uint8_t> bytes, ContainerKind kind,
                        std::int64_t pixelLimit = kDefaultMaxPixels);

// The container bytes of an inner file under a password, and back.
std::vector<std::uint8_t> EncipherContainer(std::vector<std::uint8_t> inner, const std::string& password);
std::vector<std::uint8_t> DecipherContainer(std::vector<std::uint8_t> container, const std::string& password);

// Deciphers container bytes and decodes them into target. A failure of the
// decoder shows "invalid password" through interaction and leaves target as
// it was; returns whether target was replaced. A picture over pixelLimit
// raises EImageTooLarge instead.
bool DecodeContainer(std::span<const std::uint8_t> container, const std::string& password, ContainerKind kind,
                     Bitmap& target, UserInteraction& interaction, std::int64_t pixelLimit = kDefaultMaxPixels);

// The password dialog ("Enter password"): nothing on cancel or an empty entry.
std::optional<std::string> AskPassword(UserInteraction& interaction);

// Asks for the password; cancel or an empty password ends quietly (false).
// Then reads the file (an unreadable one raises EFOpenError, as for any
// reader) and decodes it as DecodeContainer does.
bool ReadEncryptedImage(const std::string& path, Bitmap& target, ContainerKind kind, UserInteraction& interaction,
                        std::int64_t pixelLimit = kDefaultMaxPixels);
// Writes source under password, which the caller asked for beforehand; an
// empty password writes nothing and returns false. An existing file is
// replaced only by a complete container.
bool WriteEncryptedImage(const std::string& path, const Bitmap& source, ContainerKind kind, const std::string& password,
                         const InnerImageOptions& options);

}  // namespace pixtrel
