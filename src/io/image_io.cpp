#include "io/image_io.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "codecs/crypt/encrypted_image.h"
#include "icons/qx_icon.h"
#include "io/formats.h"
#include "io/picture_options.h"

namespace pixtrel {

std::string UpperCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

std::string ExtractExtension(const std::string& path) {
  // Only the file name counts: a dot in a folder name is no extension.
  const std::string name = std::filesystem::path(path).filename().string();
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return std::string();
  return UpperCase(name.substr(dot));
}

LoadResult LoadImageFile(const std::string& path, Bitmap& target, UserInteraction& interaction,
                         std::int64_t maxPixels) {
  return LoadImageFile(path, target, interaction, maxPixels, LoadOptions());
}

LoadResult LoadImageFile(const std::string& path, Bitmap& target, UserInteraction& interaction,
                         std::int64_t maxPixels, const LoadOptions& options) {
  LoadResult result;
  result.extension = ExtractExtension(path);
  const FormatRow* row = FindLoadFormat(result.extension);
  if (!row) return result;
  LoadContext context{interaction, maxPixels, std::string(), options, ImageMetadata(), 0};
  try {
    row->load(path, target, context);
  } catch (Exception& error) {
    if (error.File().empty()) error.SetFile(path);
    throw;
  }
  result.known = true;
  result.pngText = std::move(context.pngText);
  // The readers that find metadata report it only for a picture they
  // decoded, so the options never touch a target that kept its old pixels.
  ImageMetadata& metadata = context.metadata;
  if (options.autoOrient && context.orientation >= 2) {
    ApplyOrientation(target, context.orientation);
    if (!metadata.exif.empty()) SetTiffOrientation(metadata.exif, 1);
  }
  if (options.toSrgb && ConvertToSrgb(target, metadata.icc)) metadata.icc.clear();
  if (options.keepMetadata) result.metadata = std::move(metadata);
  return result;
}

PixelFormat IconPixelFormat(IconColors colors) { return colors == IconColors::Colors16 ? pf4bit : pf8bit; }

SaveQuestions AskSaveQuestions(const std::string& ext, const Bitmap& source, SaveOptions& options,
                               UserInteraction& interaction) {
  SaveQuestions questions;
  const FormatRow* row = FindSaveFormat(ext);
  if (!row) return questions;
  switch (row->question) {
    case SaveQuestion::None:
      break;
    case SaveQuestion::IconOptions: {
      const std::optional<IconColors> choice = interaction.ChooseIconColors(options.iconColors);
      if (!choice) {
        questions.proceed = false;
        break;
      }
      options.iconColors = *choice;
      if (source.Width() != icons::kStandardIconSize || source.Height() != icons::kStandardIconSize) {
        if (!interaction.Confirm("Icon must be 32x32. Resize now?")) {
          questions.proceed = false;
          break;
        }
        questions.resizeToIcon = true;
      }
      break;
    }
    case SaveQuestion::Password: {
      std::optional<std::string> password = AskPassword(interaction);
      if (!password) {
        questions.proceed = false;
        break;
      }
      options.password = std::move(*password);
      break;
    }
    case SaveQuestion::WebPOptions: {
      const std::optional<bool> lossless = interaction.ChooseWebPLossless(options.webpLossless);
      if (!lossless) {
        questions.proceed = false;
        break;
      }
      options.webpLossless = *lossless;
      break;
    }
  }
  return questions;
}

SaveOutcome SaveImageFile(const std::string& path, const Bitmap& source, const std::string& ext,
                          const SaveOptions& options) {
  const FormatRow* row = FindSaveFormat(ext);
  if (!row) return SaveOutcome::UnknownFormat;
  try {
    return row->save(path, source, options);
  } catch (Exception& error) {
    if (error.File().empty()) error.SetFile(path);
    throw;
  }
}

}  // namespace pixtrel
