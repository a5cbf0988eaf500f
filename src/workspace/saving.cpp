#include "workspace/saving.h"

#include "icons/qx_icon.h"
#include "io/formats.h"
#include "workspace/workspace.h"

namespace pixtrel {

SaveOutcome SaveDisplayedImage(const std::string& path, Bitmap& image, const std::string& ext, SaveOptions& options,
                               UserInteraction& interaction) {
  const FormatRow* row = FindSaveFormat(ext);
  if (!row) return SaveOutcome::UnknownFormat;
  // The answers apply to this save; only the icon and lossless choices are
  // kept, the password never outlives it.
  SaveOptions answered = options;
  const SaveQuestions questions = AskSaveQuestions(ext, image, answered, interaction);
  options.iconColors = answered.iconColors;
  options.webpLossless = answered.webpLossless;
  if (!questions.proceed) return SaveOutcome::Abandoned;
  if (row->question == SaveQuestion::IconOptions) {
    if (questions.resizeToIcon) ResampleImageTo(image, icons::kStandardIconSize, icons::kStandardIconSize);
    image.SetPixelFormat(IconPixelFormat(answered.iconColors));
  }
  return SaveImageFile(path, image, ext, answered);
}

}  // namespace pixtrel
