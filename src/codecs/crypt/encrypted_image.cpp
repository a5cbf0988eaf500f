#include "codecs/crypt/encrypted_image.h"

#include <exception>

#include "codecs/crypt/cipher_manager.h"
#include "codecs/jpeg/jpeg_image.h"
#include "codecs/png/png_object.h"
#include "core/interaction.h"
#include "core/stream.h"
#include "gif/gif_codec.h"

namespace pixtrel {

const char* const kPasswordCaption = "Enter password";
const char* const kPasswordPrompt = "Password";

std::optional<std::string> AskPassword(UserInteraction& interaction) {
  std::optional<std::string> password = interaction.PasswordQuery(kPasswordCaption, kPasswordPrompt);
  if (!password || password->empty()) return std::nullopt;
  return password;
}

std::vector<std::uint8_t> BuildInnerImage(const Bitmap& source, ContainerKind kind, const InnerImageOptions& options) {
  switch (kind) {
    case ContainerKind::JPEG:
      return CompressJPEG(source, options.jpegQuality, false);
    case ContainerKind::PNG: {
      PNGObject png;
      png.AssignView(source);
      return png.SaveToBytes();
    }
    case ContainerKind::GIF:
      break;
  }
  return gif::EncodeBitmapAsGifBytes(source, options.gifDefaults, options.gifTransparent);
}

Bitmap DecodeInnerImage(std::span<const std::uint8_t> bytes, ContainerKind kind, std::int64_t pixelLimit) {
  switch (kind) {
    case ContainerKind::JPEG: {
      JPEGImage jpeg;
      jpeg.SetPixelLimit(pixelLimit);
      jpeg.LoadFromBytes(bytes);
      return jpeg.TakeBitmap();
    }
    case ContainerKind::PNG: {
      PNGObject png;
      png.SetPixelLimit(pixelLimit);
      png.LoadFromBytes(bytes);
      return png.TakeBitmap();
    }
    case ContainerKind::GIF:
      break;
  }
  gif::GIFImage image;
  image.SetPixelLimit(pixelLimit);
  image.LoadFromBytes(bytes);
  return image.ToBitmap();
}

std::vector<std::uint8_t> EncipherContainer(std::vector<std::uint8_t> inner, const std::string& password) {
  CipherManager cipher;
  cipher.InitKey(password);
  cipher.Encipher(inner);
  return inner;
}

std::vector<std::uint8_t> DecipherContainer(std::vector<std::uint8_t> container, const std::string& password) {
  CipherManager cipher;
  cipher.InitKey(password);
  cipher.Decipher(container);
  return container;
}

bool DecodeContainer(std::span<const std::uint8_t> container, const std::string& password, ContainerKind kind,
                     Bitmap& target, UserInteraction& interaction, std::int64_t pixelLimit) {
  const std::vector<std::uint8_t> inner =
      DecipherContainer(std::vector<std::uint8_t>(container.begin(), container.end()), password);
  Bitmap decoded;
  try {
    decoded = DecodeInnerImage(inner, kind, pixelLimit);
  } catch (const EImageTooLarge& error) {
    // A picture over the limit the user set decoded far enough to be the
    // right password: say so rather than blame the password.
    if (error.Code() == "core.OverPixelLimit") throw;
    interaction.ShowMessage(kInvalidPasswordText);
    return false;
  } catch (const std::exception&) {
    // A wrong password, a damaged container and another format inside all
    // look the same here.
    interaction.ShowMessage(kInvalidPasswordText);
    return false;
  }
  target = std::move(decoded);
  return true;
}

bool ReadEncryptedImage(const std::string& path, Bitmap& target, ContainerKind kind, UserInteraction& interaction,
                        std::int64_t pixelLimit) {
  const std::optional<std::string> password = AskPassword(interaction);
  if (!password) return false;
  const std::vector<std::uint8_t> container = ReadFileBytes(path);
  return DecodeContainer(container, *password, kind, target, interaction, pixelLimit);
}

bool WriteEncryptedImage(const std::string& path, const Bitmap& source, ContainerKind kind, const std::string& password,
                         const InnerImageOptions& options) {
  if (password.empty()) return false;
  std::vector<std::uint8_t> inner = BuildInnerImage(source, kind, options);
  const std::vector<std::uint8_t> container = EncipherContainer(std::move(inner), password);
  WriteFileBytes(path, container);
  return true;
}

}  // namespace pixtrel
