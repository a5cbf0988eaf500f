// Saving the displayed image, as File > Save As and pixtrel-cli convert do.
#pragma once

#include <string>

#include "core/bitmap.h"
#include "core/interaction.h"
#include "io/image_io.h"

namespace pixtrel {

// Asks through interaction what the format needs (AskSaveQuestions); for an
// icon, resamples image to 32 x 32 when the user agreed and reduces it to the
// chosen depth: the displayed image keeps both changes, without an undo
// snapshot, as saving an icon always has. Then saves. options keeps the icon
// colours chosen; a password is used for this save only.
SaveOutcome SaveDisplayedImage(const std::string& path, Bitmap& image, const std::string& ext, SaveOptions& options,
                               UserInteraction& interaction);

}  // namespace pixtrel
